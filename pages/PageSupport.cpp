#include "pages/PageSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cstring>

#include "config/NumberText.h"
#include "config/Quantities.h"
#include "config/SettingNames.h"
#include "pages/ConfigPage.h"
#include "config/SerialSettings.h"

QString RecordText(const char* field, std::size_t size)
{
    const std::size_t length = strnlen(field, size);
    return QString::fromLatin1(field, static_cast<qsizetype>(length));
}

void StoreRecordText(const QString& text, char* field, std::size_t size)
{
    std::memset(field, 0, size);
    const QByteArray bytes = text.left(static_cast<qsizetype>(size - 1)).toLatin1();
    std::memcpy(field, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString Latin1(const char* text) { return QString::fromLatin1(text); }

void SelectListIndex(QComboBox* list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

int SelectedIndexOr(const QComboBox* list, int stored)
{
    const int index = list->currentIndex();
    return index >= 0 ? index : stored;
}

void NameControls(std::initializer_list<std::pair<QWidget*, QString>> controls)
{
    for (const auto& [control, name] : controls) control->setObjectName(name);
}

QComboBox* NewDropDownList(std::span<const char* const> texts)
{
    auto* list = new QComboBox;
    for (const char* text : texts) list->addItem(Latin1(text));
    return list;
}

QPushButton* NewPageButton(const QString& text)
{
    auto* button = new QPushButton(text);
    button->setAutoDefault(false);
    return button;
}

QComboBox* NewRecordBaudList(int count)
{
    auto* list = new QComboBox;
    for (int i = 0; i < count; ++i) list->addItem(QString::number(kBaudRates[i]));
    return list;
}

void FillInstrumentList(QComboBox* list)
{
    list->clear();
    for (int instrument = 1; instrument <= 3; ++instrument)
        list->addItem(QString::asprintf(kInstrumentListFormat, instrument));
}

void FillQuantityList(QComboBox* list, std::span<const std::uint8_t> codes)
{
    list->clear();
    for (std::uint8_t code : codes) list->addItem(Latin1(DataTypeName(code)));
}

void SelectQuantity(QComboBox* list, std::span<const std::uint8_t> codes, int dataType)
{
    const auto found = std::ranges::find(codes, dataType);
    list->setCurrentIndex(found != codes.end() ? static_cast<int>(found - codes.begin()) : 0);
}

int SelectedQuantity(const QComboBox* list, std::span<const std::uint8_t> codes)
{
    return codes[static_cast<std::size_t>(std::max(list->currentIndex(), 0))];
}

int DisplayUnitOf(const UnitConfig& config, int dataType)
{
    return config.unitCode[QuantityKindOf(dataType)];
}

QString StoredValueText(std::int32_t stored, int unitCode)
{
    return QString::fromStdString(FormatValue(ToDisplayUnits(stored, unitCode)));
}

double FieldValue(const QString& text)
{
    if (text.trimmed() == QString::fromStdString(FormatValue(kMissingValue))) return kMissingValue;
    return FieldDecimal(text);
}

QLabel* NewUnitsLabel()
{
    auto* label = new QLabel(CConfigPage::tr("units"));
    const QFontMetrics metrics = label->fontMetrics();
    int width = metrics.horizontalAdvance(label->text());
    for (int unit = 0; unit <= 0xFF; ++unit) {  // unit codes are bytes
        const char* abbreviation = UnitAbbreviation(unit);
        if (std::strcmp(abbreviation, kUnknownUnitsText) != 0)
            width = std::max(width, metrics.horizontalAdvance(Latin1(abbreviation)));
    }
    label->setMinimumWidth(width);
    return label;
}

double FieldDecimal(const QString& text) { return ReadDecimal(text.toStdString()); }

long FieldInteger(const QString& text) { return ReadInteger(text.toStdString()); }

QString StripNonAlphanumeric(const QString& text)
{
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'))
            kept.append(c);
    }
    return kept;
}

void SetWidthInChars(QLineEdit* edit, int chars)
{
    // The frame and margins come from the style, as QLineEdit's own size hint does it; a
    // digit's width stands for the average character.
    const QFontMetrics metrics = edit->fontMetrics();
    const QSize text(metrics.horizontalAdvance(QString(chars, u'0')) + 8, metrics.height());
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QSize size = edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, edit);
    edit->setFixedWidth(size.width());
}

QLabel* LabelFor(const QString& text, QWidget* field)
{
    auto* label = new QLabel(text);
    label->setBuddy(field);
    return label;
}

void ReserveLabelWidth(QLabel* label, const QString& widestText)
{
    // Longer texts (a value no page writes, from a file) are cut rather than widen the page.
    label->setFixedWidth(label->fontMetrics().horizontalAdvance(widestText));
}
