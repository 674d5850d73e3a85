#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>

#include "config/AlarmText.h"
#include "config/NumberText.h"
#include "config/Quantities.h"
#include "pages/SerialSettings.h"

namespace {

// What a page stores for a typed value: rounded half away from zero.
std::int32_t StoreRounded(double displayValue, int unitCode)
{
    const double base = FromDisplayUnits(displayValue, unitCode);
    return TruncateToInt32(base + 0.5 * SignOf(base));
}

// Fields: enabled, instruments 1 and 2, data types, comparisons, thresholds, combine, latching.
AlarmRule Rule(std::uint8_t dataType1, std::uint8_t compare1, std::int32_t threshold1,
               std::uint8_t combine = 9, std::uint8_t instrument1 = 0)
{
    return AlarmRule{1, instrument1, 0, dataType1, 16, compare1, 6, threshold1, 0, combine, 0};
}

}  // namespace

// MGD, ft/s, inches, degrees Fahrenheit and Celsius, litres, cumecs; the missing-value mark
// whatever the unit; unknown codes convert with factor 1. 100 MGD is 4381263.646 stored;
// a typed Fahrenheit span goes through single precision before scaling (-39.991).
TEST(Quantities, StoredValuesShowInDisplayUnitsFormattedAndTypedOnesStoreBack)
{
    // clang-format off
    const std::tuple<std::int32_t, int, double, const char*> shown[] = {
        {4381264, 14, 100.0000080798607, "100"}, {3048, 9, 10.00000032, "10.0"},
        {3048, 3, 120.0000008, "120"}, {3778, 37, 100.004, "100"}, {0, 37, 32.0, "32.0"},
        {-1780, 37, -0.04, "-0.040"}, {10000, 36, 100.0, "100"}, {12345, 27, 1234500.0, "1234500"},
        {100, 13, 0.0001, "0.000"}, {-32768, 14, -32768.0, "--"},
        {-32767, 5, -32767.0, "-32767.000"}, {250, 99, 250.0, "250"}};
    const std::tuple<double, int, std::int32_t> typed[] = {
        {100, 14, 4381264}, {212, 37, 10000}, {32, 37, 0}, {-40, 37, -4000}, {-39.991, 37, -3999},
        {5, 3, 127}, {2.5, 5, 3}, {-2.5, 5, -3}, {-32768, 14, -32768}, {1e300, 14, INT32_MAX},
        {-1e300, 14, INT32_MIN}};
    // clang-format on
    for (const auto& [stored, unit, display, text] : shown) {
        EXPECT_NEAR(ToDisplayUnits(stored, unit), display, std::abs(display) * 1e-9) << stored;
        EXPECT_EQ(FormatValue(ToDisplayUnits(stored, unit)), text) << stored;
    }
    for (const auto& [value, unit, stored] : typed)
        EXPECT_EQ(StoreRounded(value, unit), stored) << value << " in " << unit;
    for (int unit = 0; unit <= 40; ++unit)
        for (const std::int32_t stored : {0, 1, -1, 7, 3048, -500, 123456, 4381264, 9999999})
            EXPECT_EQ(StoreRounded(ToDisplayUnits(stored, unit), unit), stored) << unit;

    // A value just below a threshold takes the next format.
    const std::pair<double, const char*> cases[] = {
        {0.0, "0.000"},   {0.9994, "0.999"},    {0.9996, "1.00"},    {9.994, "9.99"},
        {9.9996, "10.0"}, {99.9996, "100"},     {-2.5, "-2.500"},    {250.5, "251"},
        {-32768.0, "--"}, {1e12, "2147483647"}, {std::nan(""), "0"}, {-32768.5, "-32768.500"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatValue(value), text) << value;
    EXPECT_EQ(FormatDecimal(0.949999988079071, 2), "0.95");
    EXPECT_EQ(FormatDecimal(-1.7976931348623157e308, 3).size(), 309u + 5u);
    EXPECT_EQ(TruncateToInt32(HUGE_VAL), INT32_MAX);
}

TEST(Quantities, NamesKindsAndLatin1Abbreviations)
{
    // clang-format off
    const std::pair<const char*, const char*> names[] = {
        {DataTypeName(1), "Q Main"}, {DataTypeName(42), "Summed Flow"},
        {DataTypeName(0), "UNKNOWN DATA TYPE"}, {DataTypeName(43), "UNKNOWN DATA TYPE"},
        {UnitName(0), ""}, {UnitName(39), "Unknown Units"}, {UnitName(0xFFFFFFFFu), "Unknown Units"},
        {UnitAbbreviation(-1), "Unknown Units"}, {UnitAbbreviation(16), "m\xB3/s"},
        {UnitAbbreviation(22), "ft\xB2"}, {UnitAbbreviation(37), "\260F"}};  // Latin-1 degree sign
    // clang-format on
    for (const auto& [name, expected] : names) EXPECT_STREQ(name, expected);
    EXPECT_TRUE(QuantityKindOf(40) == KindDepth && QuantityKindOf(43) == KindNone);
    EXPECT_TRUE(!IsCombinedDataType(37) && IsCombinedDataType(38) && IsCombinedDataType(42));
    EXPECT_FALSE(IsCombinedDataType(43));
}

// Rules the page never writes have no comparison text and no second condition.
TEST(AlarmText, RulesInTheWordsOfTheAlarmsPage)
{
    UnitConfig config;
    SetDefaults(config);  // inches, MGD, million gallons
    // clang-format off
    const std::pair<AlarmRule, const char*> cases[] = {
        {AlarmRule{1, 0, 1, 16, 1, 1, 2, 1270, 153344, 7, 1},
         "Instrument 1 Main Depth > 50.0 In and Instrument 2 Q Main < 3.50 MGD (Latching)"},
        {AlarmRule{1, 0, 2, 16, 40, 3, 4, 1270, 254, 8, 0},
         "Instrument 1 Main Depth >= 50.0 In or Average Depth <= 10.0 In"},
        {Rule(38, 3, 525752), "Average Flow >= 12.0 MGD"},
        {Rule(8, 6, 37854118, 9, 2), "Instrument 3 pulse every 1.00 MGal"},
        {Rule(16, 5, -32768), "Instrument 1 Main Depth = -- In"},
        {Rule(21, 2, 0, 9, 255), "Instrument 256 Sensor Temperature < 32.0 \260F"},
        {Rule(16, 9, 0), "Instrument 1 Main Depth  0.000 In"}, {Rule(16, 1, 0, 0), "Instrument 1 Main Depth > 0.000 In"},
        {Rule(16, 1, 0, 8), "Instrument 1 Main Depth > 0.000 In or Instrument 1 Main Depth  0.000 In"},
        {Rule(99, 1, 5), "Instrument 1 UNKNOWN DATA TYPE > 5.00 "}};
    // clang-format on
    for (const auto& [rule, text] : cases) EXPECT_EQ(DescribeRule(rule, config), text);
    EXPECT_EQ(DescribeRuleSlot(1, config.alarmRule[0], config), "#1: (not used)");
    EXPECT_EQ(DescribeRuleSlot(3, Rule(38, 3, 525752), config), "#3: Average Flow >= 12.0 MGD");
}

TEST(NumberText, TypedNumbersAreReadFromTheStartWhateverTheLocale)
{
    // clang-format off
    const std::pair<const char*, double> decimals[] = {
        {"2.5", 2.5}, {"  -1e3", -1000}, {"\t+4", 4}, {"1,5", 1}, {".5", 0.5}, {"-.5", -0.5},
        {"2e+", 2}, {"1e-2x", 0.01}, {"", 0}, {".", 0}, {"+-5", 0}, {"0x10", 0}, {"inf", 0},
        {"nan", 0}, {"1e999", HUGE_VAL}, {"1e-999", 0}};
    const std::pair<const char*, long> integers[] = {
        {" -45x", -45}, {"+7", 7}, {"3.9", 3}, {"x1", 0}, {"+-1", 0},
        {"99999999999999999999999", LONG_MAX}, {"-9223372036854775808", LONG_MIN}};
    // clang-format on
    for (const auto& [text, value] : decimals) EXPECT_EQ(ReadDecimal(text), value) << text;
    for (const auto& [text, value] : integers) EXPECT_EQ(ReadInteger(text), value) << text;
    EXPECT_EQ(ReadDecimal(std::string_view("1234").substr(0, 2)), 12);  // the view only

    // A desktop in a language with a decimal comma must not change what is read or shown.
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_ALL, "de_DE.utf8") == nullptr)
        GTEST_SKIP() << "no German locale is installed";
    const double read = ReadDecimal("2.5");
    const std::string shown = FormatValue(2.5);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(read, 2.5);
    EXPECT_EQ(shown, "2.50");
}

// Record codes 0 none, 1 even, 2 odd, 3 two stop bits; the list reads None, Odd, Even, ...
TEST(SerialSettings, BaudRatesShowAsTheNextLowerEntryAndParityCodesAsListPositions)
{
    const std::pair<std::int32_t, int> rates[] = {{230400, 7}, {115199, 6}, {57600, 6},
                                                  {57599, 5},  {2399, 0},   {INT32_MIN, 0}};
    for (const auto& [rate, index] : rates) EXPECT_EQ(BaudRateToIndex(rate), index) << rate;
    for (int index = 0; index < 8; ++index)
        EXPECT_EQ(BaudRateToIndex(IndexToBaudRate(index)), index);
    EXPECT_EQ(IndexToBaudRate(8), 9600);
    EXPECT_EQ(baudRateTable[kDefaultBaudIndex], 57600);
    const char* shown[] = {"None", "Even", "Odd", "2 Stop Bits", "None"};
    for (int code = 0; code <= 4; ++code) {
        EXPECT_STREQ(kParityListTexts[ParityToIndex(code)], shown[code]) << code;
        EXPECT_EQ(IndexToParity(ParityToIndex(code)), code % 4);
    }
}
