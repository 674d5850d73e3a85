#include "pages/PageSupport.h"

#include <QComboBox>
#include <cstring>

#include "config/NumberText.h"
#include "config/Quantities.h"
#include "config/SettingNames.h"

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

void FillInstrumentList(QComboBox* list)
{
    list->clear();
    for (int instrument = 1; instrument <= 3; ++instrument)
        list->addItem(QString::asprintf(kInstrumentListFormat, instrument));
}

QString StoredValueText(std::int32_t stored, int unitCode)
{
    return QString::fromStdString(FormatValue(ToDisplayUnits(stored, unitCode)));
}

double FieldDecimal(const QString& text) { return ReadDecimal(text.toStdString()); }

long FieldInteger(const QString& text) { return ReadInteger(text.toStdString()); }
