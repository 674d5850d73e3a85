#include "config/Quantities.h"

#include <cmath>
#include <iterator>
#include <limits>

#include "config/NumberText.h"

namespace {

struct DataTypeRow {
    const char* name;
    QuantityKind kind;
};

// Indexed by data-type code minus 1.
constexpr DataTypeRow kDataTypes[] = {
    {"Q Main", KindFlow},
    {"Q ModAV", KindFlow},
    {"Q HRW", KindFlow},
    {"Q Manning", KindFlow},
    {"Q Shape", KindFlow},
    {"Smoothed Flow", KindFlow},
    {"Area", KindArea},
    {"Totalized Flow", KindVolume},
    {"Totalizer Fwd. Inc.", KindVolume},
    {"Totalizer Rev. Inc.", KindVolume},
    {"Raw Velocity", KindVelocity},
    {"Avg. Velocity", KindVelocity},
    {"Virtual Beam 1", KindVelocity},
    {"Virtual Beam 2", KindVelocity},
    {"Smoothed Velocity", KindVelocity},
    {"Main Depth", KindDepth},
    {"Ult. Range", KindDepth},
    {"Ult. Depth", KindDepth},
    {"Sec. Depth", KindDepth},
    {"Smoothed Depth", KindDepth},
    {"Sensor Temperature", KindTemperature},
    {"Electronics Temperature", KindTemperature},
    {"Voltage", KindVoltage},
    {"Built-in Test", KindNone},
    {"Ensemble Number", KindNone},
    {"Received Time", KindNone},
    {"Data Timeouts", KindNone},
    {"Bad Flow Count", KindNone},
    {"Bad Velocity Count", KindNone},
    {"Bad Depth Count", KindNone},
    {"Ensemble Time", KindNone},
    {"Ensemble Year", KindNone},
    {"Ensemble Month", KindNone},
    {"Ensemble Day", KindNone},
    {"Ensemble Hour", KindNone},
    {"Ensemble Minute", KindNone},
    {"Ensemble Second", KindNone},
    {"Average Flow", KindFlow},
    {"Average Velocity", KindVelocity},
    {"Average Depth", KindDepth},
    {"Average Temperature", KindTemperature},
    {"Summed Flow", KindFlow},
};
static_assert(std::size(kDataTypes) == 42);

constexpr char kUnknownDataType[] = "UNKNOWN DATA TYPE";

const DataTypeRow* FindDataType(int dataType)
{
    if (dataType < 1 || dataType > static_cast<int>(std::size(kDataTypes))) return nullptr;
    return &kDataTypes[dataType - 1];
}

// The Fahrenheit row has an offset as well as a factor; ToDisplayUnits and
// FromDisplayUnits handle it.
constexpr int kFahrenheitCode = 37;

struct UnitRow {
    const char* name;
    const char* abbreviation;  // Latin-1
    QuantityKind kind;
    double factor;  // display value = stored integer x factor
};

// Indexed by unit code. The divisions of the unit's own tables (x / 43812.63646 and the
// like) are multiplications by the double nearest the reciprocal, written out so that
// every build converts to the same last bit.
constexpr UnitRow kUnits[] = {
    {"", "", KindNone, 1.0},
    {kUnknownUnitsText, kUnknownUnitsText, KindNone, 1.0},
    {"Feet", "Ft", KindDepth, 0.00328084},
    {"Inches", "In", KindDepth, 0.039370079},
    {"Centimeters", "cm", KindDepth, 0.1},
    {"Millimeters", "mm", KindDepth, 1.0},
    {"Meters", "m", KindDepth, 0.001},
    {kUnknownUnitsText, kUnknownUnitsText, KindNone, 1.0},
    {"Meters per second", "m/s", KindVelocity, 0.001},
    {"Feet per second", "ft/s", KindVelocity, 0.00328084},
    {"Millimeters per second", "mm/s", KindVelocity, 1.0},
    {"Centimeters per second", "cm/s", KindVelocity, 0.1},
    {kUnknownUnitsText, kUnknownUnitsText, KindNone, 1.0},
    {"Cumecs", "m\xB3/s", KindFlow, 0.000001},
    {"MGD", "MGD", KindFlow, 2.2824465286698246e-05},
    {"Gallons per minute", "GPM", KindFlow, 0.015850323},
    {"Cubic meters per second", "m\xB3/s", KindFlow, 0.000001},
    {"Liters per second", "l/s", KindFlow, 0.001},
    {"Cubic feet per second", "cfs", KindFlow, 3.531466672398284e-05},
    {"Million Liters per day", "Ml/day", KindFlow, 0.0000864},
    {"Cubic centimeters per second", "cc/s", KindFlow, 1.0},
    {kUnknownUnitsText, kUnknownUnitsText, KindNone, 1.0},
    {"Square Feet", "ft\xB2", KindArea, 0.001076391},
    {"Square Meters", "m\xB2", KindArea, 0.0001},
    {"Square Inches", "in\xB2", KindArea, 0.15500031},
    {"Square Centimeters", "cm\xB2", KindArea, 1.0},
    {kUnknownUnitsText, kUnknownUnitsText, KindNone, 1.0},
    {"Liters", "l", KindVolume, 100.0},
    {"Cubic Meters", "m\xB3", KindVolume, 0.1},
    {"Megaliters", "Ml", KindVolume, 0.0001},
    {"Gallons", "Gal", KindVolume, 26.41720519},
    {"KGallons", "KGal", KindVolume, 0.026417205},
    {"Million Gallons", "MGal", KindVolume, 2.641720519394272e-05},
    {"Cubic Feet", "cf", KindVolume, 3.531466672},
    {"Acre Feet", "af", KindVolume, 8.107131934925174e-05},
    {kUnknownUnitsText, kUnknownUnitsText, KindNone, 1.0},
    {"Degrees Celsius",
     "\xB0"
     "C",
     KindTemperature, 0.01},
    // 1.8 / 100 as written is 0.018000000000000002, not the double nearest 0.018; stored
    // temperatures have always been converted with exactly this factor.
    {"Degrees Farenheit",
     "\xB0"
     "F",
     KindTemperature, 1.8 / 100},
    {"Volts", "V", KindVoltage, 0.01},
};
static_assert(std::size(kUnits) == 39);

const UnitRow* FindUnit(long long unitCode)
{
    if (unitCode < 0 || unitCode >= static_cast<long long>(std::size(kUnits))) return nullptr;
    return &kUnits[unitCode];
}

double FactorOf(int unitCode)
{
    const UnitRow* row = FindUnit(unitCode);
    return row != nullptr ? row->factor : 1.0;
}

}  // namespace

const char* DataTypeName(int dataType)
{
    const DataTypeRow* row = FindDataType(dataType);
    return row != nullptr ? row->name : kUnknownDataType;
}

QuantityKind QuantityKindOf(int dataType)
{
    const DataTypeRow* row = FindDataType(dataType);
    return row != nullptr ? row->kind : KindNone;
}

bool IsCombinedDataType(int dataType)
{
    return dataType >= 38 && dataType <= 42;
}

const char* UnitName(unsigned unitCode)
{
    const UnitRow* row = FindUnit(unitCode);
    return row != nullptr ? row->name : kUnknownUnitsText;
}

const char* UnitAbbreviation(int unitCode)
{
    const UnitRow* row = FindUnit(unitCode);
    return row != nullptr ? row->abbreviation : kUnknownUnitsText;
}

double ToDisplayUnits(std::int32_t stored, int unitCode)
{
    if (stored == kMissingValue) return kMissingValue;
    const double value = stored * FactorOf(unitCode);
    return unitCode == kFahrenheitCode ? value + 32 : value;
}

double FromDisplayUnits(double value, int unitCode)
{
    if (value == kMissingValue) return value;
    if (unitCode == kFahrenheitCode) {
        // The difference goes through single precision before scaling, as it always has,
        // so a typed temperature keeps storing the same integer.
        const float celsiusSpan = static_cast<float>(value - 32);
        return static_cast<double>(celsiusSpan) * 100 / 1.8;
    }
    return value / FactorOf(unitCode);
}

double SignOf(double value)
{
    return value >= 0 ? 1.0 : -1.0;
}

std::string FormatValue(double value)
{
    if (value == kMissingValue) return "--";
    // A value just below a threshold takes the next format, so 0.9996 reads 1.00, not 1.000.
    const double w = value + 0.0005;
    if (w < 1) return FormatDecimal(value, 3);
    if (w < 10) return FormatDecimal(value, 2);
    if (w < 100) return FormatDecimal(value, 1);
    return std::to_string(TruncateToInt32(value + 0.5));
}

std::int32_t TruncateToInt32(double value)
{
    if (std::isnan(value)) return 0;
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    if (value <= lowest) return std::numeric_limits<std::int32_t>::min();
    if (value >= highest) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}
