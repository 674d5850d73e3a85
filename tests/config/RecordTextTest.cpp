#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "config/AlarmText.h"
#include "config/CommandList.h"
#include "config/NumberText.h"
#include "config/Quantities.h"
#include "config/SerialSettings.h"

namespace {

// The lines for the factory defaults after a change, each ended by a line feed.
std::string Build(void (*change)(UnitConfig&) = nullptr, std::vector<std::string> lines = {})
{
    UnitConfig config;
    SetDefaults(config);
    if (change) change(config);
    BuildCommandList(config, lines);
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// What a page stores for a typed value: rounded half away from zero.
std::int32_t StoreRounded(double displayValue, int unitCode)
{
    const double base = FromDisplayUnits(displayValue, unitCode);
    return TruncateToInt32(base + 0.5 * SignOf(base));
}

// A rule on instrument 1 (or another) whose second condition, when combined, is Q Main of
// instrument 3 above 4381264. AlarmRule's fields: enabled, instruments 1 and 2, data types,
// comparisons, thresholds, combine, latching.
AlarmRule Rule(std::uint8_t dataType1, std::uint8_t compare1, std::int32_t threshold1,
               std::uint8_t combine = 9, std::uint8_t instrument1 = 0)
{
    return AlarmRule{1, instrument1, 2, dataType1, 1, compare1, 1, threshold1, 4381264, combine, 0};
}

}  // namespace

TEST(CommandList, DefaultRecordGivesTheFortyEightLinesAfterWhatIsAlreadyThere)
{
    EXPECT_EQ(
        Build(nullptr, {"SZ 1"}),
        "SZ 1\nIP 192 168 1 10\nIS 255 255 255 0\nSM 0\nSN 0 NewSite\n"
        "SI 1 CULVERT\nSN 1 NewIns1\nSI 2 INACTIVE\nSN 2 INACTIVE\nSI 3 INACTIVE\nSN 3 INACTIVE\n"
        "SO 90 90 90\nSP 0 9600 1 0\nSP 1 9600 1 0\nSP 2 57600 1 0\nSP 3 9600 1 0\n"
        "SP 4 9600 1 0\nSF 0\nMF 0\nSA 1\nAE 1 1 1 1\nAR 1 1 6 0 4381264\nAR 2 1 15 0 3048\n"
        "AR 3 1 20 0 3048\nAR 4 1 21 0 3778\nAB 10 10\nAS 4381264 3048 3048\nAT 1000 1000 1000\n"
        "AZ 0 0 0\nLS 1\nRE 1 0\nRE 2 0\nRE 3 0\nRE 4 0\nRE 5 0\nRE 6 0\nRE 7 0\nRE 8 0\n"
        "LB 1\nLC 4\nLD 1 0 0 0 0 0\nTM 0\nSU 3\nSU 9\nSU 14\nSU 22\nSU 32\nSU 37\nSS\n");
}

TEST(CommandList, EdgeCasesOfTheRecordAndTextThatCouldInjectALine)
{
    // clang-format off
    const std::pair<void (*)(UnitConfig&), const char*> cases[] = {
        {[](UnitConfig& c) { c.modemEnabled = 1; }, "IS 255 255 255 0\nSM 1\nSB \nSN 0 NewSite"},
        {[](UnitConfig& c) { c.instrumentType[0] = 0; },
         "SI 1 INACTIVE\nSN 1 INACTIVE\nSI 2 INACTIVE"},
        {[](UnitConfig& c) { c.instrumentType[1] = 1, c.instrumentType[2] = 3; },
         "SI 2 KESTREL\nSN 2 INACTIVE\nSI 3 MARTEN\nSN 3 INACTIVE"},
        {[](UnitConfig& c) { c.instrumentType[0] = 7; }, "SI 1 CULVERT\nSN 1 NewIns1"},
        {[](UnitConfig& c) { std::memcpy(c.instrumentName[0], "ABCDEFGHIJKL", 12); },
         "SN 1 ABCDEFGHIJKL\nSI 2 INACTIVE"},  // a name filling its field has no NUL
        {[](UnitConfig& c) { c.instrumentTimeout[1] = -1; }, "SO 90 -1 90"},
        {[](UnitConfig& c) {
             c.serialPort[1] = {1, 9600, 1, 2}, c.serialPort[4].sevenDataBits = 2;  // 1 means seven
         },
         "SP 1 9600 0 2\nSP 2 57600 1 0\nSP 3 9600 1 0\nSP 4 9600 1 0"},
        {[](UnitConfig& c) { c.outputType = 2; }, "SF 0\nMA 1\nMR 0\nMF 0\nSA 0\nAB 10 10"},
        {[](UnitConfig& c) { c.modbusAltPort = 1, c.modbusAscii = 0, c.modbusAddress = 247; },
         "SF 0\nMA 247\nMR 1\nMF 1\nSA 1\nAE 1 1 1 1"},
        {[](UnitConfig& c) { c.outputType = 0; }, "SF 0\nMF 0\nAB 10 10"},
        {[](UnitConfig& c) { c.analogChannel[1].enabled = 0; },
         "AE 1 0 1 1\nAR 1 1 6 0 4381264\nAR 3 1 20 0 3048"},
        {[](UnitConfig& c) { c.alarmRule[0] = Rule(16, 2, -500); },
         "LS 1\nRE 1 1\nRL 1 0\nRO 1 NONE\nRC 1 1 1 16 2 -500\nRE 2 0"},
        {[](UnitConfig& c) { c.alarmRule[0] = Rule(16, 2, -500, 7), c.alarmRule[0].latching = 5; },
         "RE 1 1\nRL 1 1\nRO 1 AND\nRC 1 1 1 16 2 -500\nRC 1 2 3 1 1 4381264\nRE 2 0"},
        {[](UnitConfig& c) { c.alarmRule[0] = Rule(16, 2, -500, 8); },
         "RO 1 OR\nRC 1 1 1 16 2 -500\nRC 1 2 3 1 1 4381264"},
        {[](UnitConfig& c) { c.alarmRule[0] = Rule(16, 2, -500, 0); },  // unknown: no RO line
         "RL 1 0\nRC 1 1 1 16 2 -500\nRC 1 2 3 1 1 4381264\nRE 2 0"},
        {[](UnitConfig& c) { c.alarmRule[7] = Rule(8, 6, 37854118, 9, 2); },
         "RE 7 0\nRE 8 1\nRL 8 0\nRO 8 NONE\nRC 8 1 3 8 6 37854118\nLB 1"},
        {[](UnitConfig& c) { c.smoothing[0].tcf = 0.95f, c.smoothing[2].tcf = 0.29f; },
         "AT 950 1000 290"},
        {[](UnitConfig& c) { c.lcdBacklight = 9, c.lcdShow[5] = 3; }, "LB 1\nLC 4\nLD 1 0 0 0 0 1"},
        // A control character read from a file cannot end a line and start a command.
        {[](UnitConfig& c) {
             std::strcpy(c.siteName, "Ab\nSS\r\x7F"), std::strcpy(c.instrumentName[0], "X\nSZ 1");
             c.modemEnabled = 1, std::strcpy(c.modemInitString, "AT\rZ\x01");
         },
         "IS 255 255 255 0\nSM 1\nSB ATZ\nSN 0 AbSS\nSI 1 CULVERT\nSN 1 XSZ 1"}};
    // clang-format on
    for (const auto& [change, run] : cases) {
        const std::string text = "\n" + Build(change);
        EXPECT_NE(text.find("\n" + std::string(run) + "\n"), std::string::npos) << run << text;
        EXPECT_EQ(text.find("\nSS\n") + 4, text.size()) << text;  // one SS, the last line
    }
}

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
        {DataTypeName(1), "Q Main"}, {DataTypeName(43), "UNKNOWN DATA TYPE"}, {UnitName(0), ""},
        {UnitName(39), "Unknown Units"}, {UnitAbbreviation(-1), "Unknown Units"},
        {UnitAbbreviation(16), "m\xB3/s"}, {UnitAbbreviation(22), "ft\xB2"},
        {UnitAbbreviation(37), "\260F"}};  // the Latin-1 degree sign
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
        {Rule(16, 9, 0), "Instrument 1 Main Depth  0.000 In"},
        {Rule(16, 1, 0, 0), "Instrument 1 Main Depth > 0.000 In"},
        {AlarmRule{1, 0, 0, 16, 16, 1, 6, 0, 0, 8, 0},
         "Instrument 1 Main Depth > 0.000 In or Instrument 1 Main Depth  0.000 In"},
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
        {"nan", 0}, {"1e999", HUGE_VAL}, {"-0.0012e312", -HUGE_VAL}, {"1e-999", 0},
        {"5000e-330", 0}, {"4.9e-324", 4.9e-324}};
    const std::pair<const char*, long> integers[] = {
        {" -45x", -45}, {"+7", 7}, {"3.9", 3}, {"x1", 0}, {"+-1", 0},
        {"99999999999999999999999", LONG_MAX}, {"-9223372036854775808", LONG_MIN}};
    // clang-format on
    for (const auto& [text, value] : decimals) EXPECT_EQ(ReadDecimal(text), value) << text;
    for (const auto& [text, value] : integers) EXPECT_EQ(ReadInteger(text), value) << text;
    EXPECT_EQ(ReadDecimal(std::string_view("1234").substr(0, 2)), 12);  // the view only
    // A number that must be the whole text: what is read from the start of one is none here.
    EXPECT_EQ(ParseDecimal(" -12.5e1\t"), -125.0);
    for (const char* text : {"", "1,5", "12abc", "0x10", "nan", "inf", "1e999", "2e"})
        EXPECT_EQ(ParseDecimal(text), std::nullopt) << text;

    // A desktop in a language with a decimal comma must not change what is read or shown.
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_ALL, "German_Germany.1252") == nullptr)
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
    EXPECT_EQ(kBaudRates[kDefaultBaudIndex], 57600);
    const char* shown[] = {"None", "Even", "Odd", "2 Stop Bits", "None"};
    for (int code = 0; code <= 4; ++code) {
        EXPECT_STREQ(kParityListTexts[ParityToIndex(code)], shown[code]) << code;
        EXPECT_EQ(IndexToParity(ParityToIndex(code)), code % 4);
    }
}
