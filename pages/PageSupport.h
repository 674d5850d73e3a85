// Small pieces every page needs between its controls and the record.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

class QComboBox;

// A NUL-terminated Latin-1 field of the record (it may lack the NUL: then all `size` bytes).
QString RecordText(const char* field, std::size_t size);
template <std::size_t N>
QString RecordText(const char (&field)[N])
{
    return RecordText(field, N);
}

// Zero-fills the field and copies at most size - 1 Latin-1 characters, so it always ends in
// a NUL. Characters outside Latin-1 become '?'.
void StoreRecordText(const QString& text, char* field, std::size_t size);
template <std::size_t N>
void StoreRecordText(const QString& text, char (&field)[N])
{
    StoreRecordText(text, field, N);
}

// A unit abbreviation or other Latin-1 text of the configuration layer, for a label.
QString Latin1(const char* text);

// Selects `index`, or nothing when the index is not one of the list's entries.
void SelectListIndex(QComboBox* list, int index);

// The list's selection when the user made one; otherwise the record keeps `stored`. A code
// that has no entry in a list (possible only from a file or a unit) survives a store.
int SelectedIndexOr(const QComboBox* list, int stored);

// Empties the list and offers "Ins 1", "Ins 2" and "Ins 3".
void FillInstrumentList(QComboBox* list);

// A measured value of the record (base units) as shown in a field: in the display unit,
// "--" for the missing-value mark.
QString StoredValueText(std::int32_t stored, int unitCode);

// The page's field texts read as numbers, in the C locale.
double FieldDecimal(const QString& text);
long FieldInteger(const QString& text);
