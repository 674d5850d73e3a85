#include "pages/ValueEdit.h"

#include "pages/PageSupport.h"

CValueEdit::CValueEdit(QWidget* parent) : QLineEdit(parent)
{
    const QFontMetrics metrics = fontMetrics();
    setFixedWidth(metrics.horizontalAdvance(QStringLiteral("-99999.999")) +
                  metrics.averageCharWidth() * 2);
}

void CValueEdit::ShowValue(std::int32_t stored, int unitCode)
{
    ShowValue(stored, unitCode, StoredValueText(stored, unitCode));
}

void CValueEdit::ShowValue(std::int32_t stored, int unitCode, const QString& text)
{
    setText(text);
    shownValue = stored;
    shownText = text;
    shownUnit = unit = unitCode;
}

void CValueEdit::ShowText(const QString& text)
{
    setText(text);
    shownValue.reset();
}

std::int32_t CValueEdit::StoredValue(ReadValue read) const
{
    if (shownValue && unit == shownUnit && text() == shownText) return *shownValue;
    return read(text(), unit);
}
