// Small pieces every page needs between its controls and the record.
#pragma once

#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <span>
#include <utility>

#include "config/UnitConfig.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

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

// Gives controls the names that tests find them by.
void NameControls(std::initializer_list<std::pair<QWidget*, QString>> controls);

// A drop-down list offering the texts, in order.
QComboBox* NewDropDownList(std::span<const char* const> texts = {});

// A push button of a page. It never becomes the main window's default button, so Enter in a
// field of the page presses nothing.
QPushButton* NewPageButton(const QString& text);

// A "Baudrate:" list for a rate the record keeps for one of the unit's ports: the first
// `count` rates of kBaudRates. (The unit dialogs' lists choose the rate of the line.)
QComboBox* NewRecordBaudList(int count);

// Empties the list and offers "Ins 1", "Ins 2" and "Ins 3".
void FillInstrumentList(QComboBox* list);

// Lists of data-type codes, shown by their names. A code a list does not offer selects its
// first entry.
void FillQuantityList(QComboBox* list, std::span<const std::uint8_t> codes);
void SelectQuantity(QComboBox* list, std::span<const std::uint8_t> codes, int dataType);
int SelectedQuantity(const QComboBox* list, std::span<const std::uint8_t> codes);

// The display unit the record chose for a data type's quantity kind.
int DisplayUnitOf(const UnitConfig& config, int dataType);

// A measured value of the record (base units) as shown in a field: in the display unit,
// "--" for the missing-value mark.
QString StoredValueText(std::int32_t stored, int unitCode);

// A field showing a measured value, read back in display units: the "--" the page shows for
// the missing-value mark reads as the mark again, so a store keeps it; any other text reads
// as a number (FieldDecimal).
double FieldValue(const QString& text);

// A label for the unit after a value, "units" until the page loads. It is as wide as the
// widest abbreviation of a known unit, so the page keeps its layout whatever unit it shows.
QLabel* NewUnitsLabel();

// The page's field texts read as numbers, in the C locale.
double FieldDecimal(const QString& text);
long FieldInteger(const QString& text);

// The integer at the start of a field, held at the ends of the record field it goes to, so
// that a long row of digits never wraps round to a small, plausible value.
template <typename Int>
Int FieldIntegerAs(const QString& text)
{
    const long value = FieldInteger(text);
    return static_cast<Int>(
        std::clamp<long>(value, std::numeric_limits<Int>::min(), std::numeric_limits<Int>::max()));
}

// Only the ASCII letters and digits of the text: the unit keeps names in that alphabet.
QString StripNonAlphanumeric(const QString& text);

// Makes an edit as wide as `chars` characters of its font, so that fields for short numbers
// are short and the width follows the font and the screen's scaling.
void SetWidthInChars(QLineEdit* edit, int chars);

// The label in front of a field. Naming the field as its buddy tells screen readers (and
// tests) which field the label names.
QLabel* LabelFor(const QString& text, QWidget* field);

// A label whose text follows the record keeps the width of the widest text it can show, so a
// long text neither clips nor makes the window grow.
void ReserveLabelWidth(QLabel* label, const QString& widestText);
