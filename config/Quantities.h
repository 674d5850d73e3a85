// Measured values are stored as integers in one base unit per quantity kind and shown in
// the display units the user chose. These tables and conversions are shared by every page
// that shows a measured value, and by the command-line program.
#pragma once

#include <cstdint>
#include <string>

// Numbered as they index UnitConfig::unitCode.
enum QuantityKind : int {
    KindDepth = 0,        // millimetres
    KindVelocity = 1,     // millimetres per second
    KindFlow = 2,         // cubic centimetres per second
    KindArea = 3,         // square centimetres
    KindVolume = 4,       // tenths of a cubic metre
    KindTemperature = 5,  // hundredths of a degree Celsius
    KindVoltage = 6,      // hundredths of a volt
    KindNone = 7,         // counts, times, test words: the integer itself
};

// The integer that marks a missing value; it converts to itself and shows as "--".
inline constexpr std::int32_t kMissingValue = -32768;

// Codes outside 1..42 (the code is a byte read as signed) give "UNKNOWN DATA TYPE".
const char* DataTypeName(int dataType);
// Codes outside 1..42 give KindNone.
QuantityKind QuantityKindOf(int dataType);
// The averaged and summed quantities (codes 38..42) are the unit's own figures over all
// instruments, so the pages choose no instrument for them and name none.
bool IsCombinedDataType(int dataType);

inline constexpr char kUnknownUnitsText[] = "Unknown Units";

// Codes 0..38 per table; the gaps in the table and every other code give kUnknownUnitsText.
const char* UnitName(unsigned unitCode);
// Single-byte Latin-1 text: the degree sign and the superscripts are the bytes 0xB0, 0xB2
// and 0xB3. Negative codes and codes above 38 give "Unknown Units".
const char* UnitAbbreviation(int unitCode);

double ToDisplayUnits(std::int32_t stored, int unitCode);
// Not yet rounded; see TruncateToInt32 and SignOf for the stores.
double FromDisplayUnits(double value, int unitCode);

// 1.0 for zero or positive values, -1.0 otherwise.
double SignOf(double value);

// The text of a display value: fewer decimals as the value grows; "--" for a missing value.
std::string FormatValue(double value);

// Truncation toward zero into a 32-bit field. Values beyond the field saturate at its ends
// and NaN gives 0, so no typed or stored number can overflow the conversion.
std::int32_t TruncateToInt32(double value);
