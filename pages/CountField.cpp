#include "pages/CountField.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include "pages/PageSupport.h"

std::uint8_t StepClearCount(std::uint8_t count, int direction)
{
    const auto stepped = static_cast<std::uint8_t>(count + (direction > 0 ? 1 : -1));
    if (stepped > kMaxClearCount) return 1;
    if (stepped == 0) return kMaxClearCount;
    return stepped;
}

CCountField::CCountField(QWidget* parent) : QAbstractSpinBox(parent)
{
    // The edit alone is read-only: the arrows and the arrow keys still step.
    lineEdit()->setReadOnly(true);
    setAlignment(Qt::AlignRight);
}

QString CCountField::Text() const
{
    return lineEdit()->text();
}

void CCountField::SetText(const QString& text)
{
    lineEdit()->setText(text);
}

void CCountField::SetArrowsEnabled(bool enabled)
{
    arrowsEnabled = enabled;
    update();
}

void CCountField::stepBy(int steps)
{
    // Page Up and Page Down step by one as well: the count has only twenty values.
    if (steps != 0) emit Stepped(steps > 0 ? 1 : -1);
}

QAbstractSpinBox::StepEnabled CCountField::stepEnabled() const
{
    return arrowsEnabled ? StepUpEnabled | StepDownEnabled : StepNone;
}

QSize CCountField::sizeHint() const
{
    // Room for three digits besides the arrows, as the style lays a spin box out.
    ensurePolished();
    const QFontMetrics metrics = fontMetrics();
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QSize text(metrics.horizontalAdvance(QStringLiteral("888")) + 8, metrics.height() + 2);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, text, this);
}

CClearCountRow::CClearCountRow(const QString& boxText, const QString& afterText,
                               const QString& offText, QWidget* parent)
    : QWidget(parent), offText(offText)
{
    box = new QCheckBox(boxText);
    field = new CCountField;
    auto* after = new QLabel(afterText);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box);
    layout->addWidget(field);
    layout->addWidget(after);
    layout->addStretch(1);

    connect(box, &QCheckBox::clicked, this, &CClearCountRow::BoxClicked);
    connect(field, &CCountField::Stepped, this, &CClearCountRow::Stepped);
}

void CClearCountRow::ShowCount(std::uint8_t count)
{
    const bool on = count != 0;
    box->setChecked(on);
    field->SetText(on ? QString::number(count) : offText);
    field->SetArrowsEnabled(on);
}

std::uint8_t CClearCountRow::ReadCount()
{
    const auto count = FieldIntegerAs<std::uint8_t>(field->Text());
    if (count != 0) lastCount = count;
    return count;
}

std::uint8_t CClearCountRow::ClickedCount() const
{
    return box->isChecked() ? lastCount : 0;
}
