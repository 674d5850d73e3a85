#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "config/CommandList.h"

namespace {

using Lines = std::vector<std::string>;

Lines Build(void (*change)(UnitConfig&) = nullptr, Lines lines = {})
{
    UnitConfig config;
    SetDefaults(config);
    if (change) change(config);
    BuildCommandList(config, lines);
    return lines;
}

Lines Split(const std::string& text)
{
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Rule 1: main depth of instrument 1 below -500, then Q Main of instrument 3 above 4381264.
// (Fields: enabled, instruments, data types, comparisons, thresholds, combine, latching.)
void SetRule1(UnitConfig& c, std::uint8_t combine)
{
    c.alarmRule[0] = AlarmRule{1, 0, 2, 16, 1, 2, 1, -500, 4381264, combine, 0};
}

}  // namespace

TEST(CommandList, DefaultRecordGivesTheFortyEightLinesAfterWhatIsAlreadyThere)
{
    const Lines expected = Split(
        "SZ 1\nIP 192 168 1 10\nIS 255 255 255 0\nSM 0\nSN 0 NewSite\n"
        "SI 1 CULVERT\nSN 1 NewIns1\nSI 2 INACTIVE\nSN 2 INACTIVE\nSI 3 INACTIVE\nSN 3 INACTIVE\n"
        "SO 90 90 90\nSP 0 9600 1 0\nSP 1 9600 1 0\nSP 2 57600 1 0\nSP 3 9600 1 0\n"
        "SP 4 9600 1 0\nSF 0\nMF 0\nSA 1\nAE 1 1 1 1\nAR 1 1 6 0 4381264\nAR 2 1 15 0 3048\n"
        "AR 3 1 20 0 3048\nAR 4 1 21 0 3778\nAB 10 10\nAS 4381264 3048 3048\nAT 1000 1000 1000\n"
        "AZ 0 0 0\nLS 1\nRE 1 0\nRE 2 0\nRE 3 0\nRE 4 0\nRE 5 0\nRE 6 0\nRE 7 0\nRE 8 0\n"
        "LB 1\nLC 4\nLD 1 0 0 0 0 0\nTM 0\nSU 3\nSU 9\nSU 14\nSU 22\nSU 32\nSU 37\nSS\n");
    ASSERT_EQ(expected.size(), 49u);
    EXPECT_EQ(Build(nullptr, {"SZ 1"}), expected);
}

TEST(CommandList, EdgeCasesOfTheRecordAndTextThatCouldInjectALine)
{
    // clang-format off
    const std::pair<void (*)(UnitConfig&), const char*> cases[] = {
        {[](UnitConfig& c) { c.modemEnabled = 1; }, "IS 255 255 255 0\nSM 1\nSB \nSN 0 NewSite"},
        {[](UnitConfig& c) { c.instrumentType[0] = 0; }, "SI 1 INACTIVE\nSN 1 INACTIVE\nSI 2 INACTIVE"},
        {[](UnitConfig& c) { c.instrumentType[1] = 1, c.instrumentType[2] = 3; },
         "SI 2 KESTREL\nSN 2 INACTIVE\nSI 3 MARTEN\nSN 3 INACTIVE"},
        {[](UnitConfig& c) { c.instrumentType[0] = 7; }, "SI 1 CULVERT\nSN 1 NewIns1"},
        {[](UnitConfig& c) { std::memcpy(c.instrumentName[0], "ABCDEFGHIJKL", 12); },
         "SN 1 ABCDEFGHIJKL\nSI 2 INACTIVE"},  // a name filling its field has no NUL
        {[](UnitConfig& c) { c.instrumentTimeout[1] = -1; }, "SO 90 -1 90"},
        {[](UnitConfig& c) { c.serialPort[1] = {1, 9600, 1, 2}, c.serialPort[4].sevenDataBits = 2; },
         "SP 1 9600 0 2\nSP 2 57600 1 0\nSP 3 9600 1 0\nSP 4 9600 1 0"},  // only 1 means seven
        {[](UnitConfig& c) { c.outputType = 2; }, "SF 0\nMA 1\nMR 0\nMF 0\nSA 0\nAB 10 10"},
        {[](UnitConfig& c) { c.modbusAltPort = 1, c.modbusAscii = 0, c.modbusAddress = 247; },
         "SF 0\nMA 247\nMR 1\nMF 1\nSA 1\nAE 1 1 1 1"},
        {[](UnitConfig& c) { c.outputType = 0; }, "SF 0\nMF 0\nAB 10 10"},
        {[](UnitConfig& c) { c.analogChannel[1].enabled = 0; },
         "AE 1 0 1 1\nAR 1 1 6 0 4381264\nAR 3 1 20 0 3048"},
        {[](UnitConfig& c) { SetRule1(c, 9); }, "LS 1\nRE 1 1\nRL 1 0\nRO 1 NONE\nRC 1 1 1 16 2 -500\nRE 2 0"},
        {[](UnitConfig& c) { SetRule1(c, 7), c.alarmRule[0].latching = 5; },
         "RE 1 1\nRL 1 1\nRO 1 AND\nRC 1 1 1 16 2 -500\nRC 1 2 3 1 1 4381264\nRE 2 0"},
        {[](UnitConfig& c) { SetRule1(c, 8); }, "RO 1 OR\nRC 1 1 1 16 2 -500\nRC 1 2 3 1 1 4381264"},
        {[](UnitConfig& c) { SetRule1(c, 0); },  // an unknown combination has no RO line
         "RL 1 0\nRC 1 1 1 16 2 -500\nRC 1 2 3 1 1 4381264\nRE 2 0"},
        {[](UnitConfig& c) { c.alarmRule[7] = AlarmRule{1, 2, 0, 8, 0, 6, 0, 37854118, 0, 9, 0}; },
         "RE 7 0\nRE 8 1\nRL 8 0\nRO 8 NONE\nRC 8 1 3 8 6 37854118\nLB 1"},
        {[](UnitConfig& c) { c.smoothing[0].tcf = 0.95f, c.smoothing[1].tcf = 0, c.smoothing[2].tcf = 0.29f; },
         "AT 950 0 290"},
        {[](UnitConfig& c) { c.lcdBacklight = 9, c.lcdShow[5] = 3; }, "LB 1\nLC 4\nLD 1 0 0 0 0 1"},
        // A control character read from a file cannot end a line and start a command.
        {[](UnitConfig& c) {
             std::strcpy(c.siteName, "Ab\nSS\r\x7F"), std::strcpy(c.instrumentName[0], "X\nSZ 1");
             c.modemEnabled = 1, std::strcpy(c.modemInitString, "AT\rZ\x01");
         },
         "IS 255 255 255 0\nSM 1\nSB ATZ\nSN 0 AbSS\nSI 1 CULVERT\nSN 1 XSZ 1"}};
    // clang-format on
    for (const auto& [change, text] : cases) {
        const Lines lines = Build(change);
        const Lines run = Split(text);  // in this order, nothing between
        EXPECT_TRUE(std::search(lines.begin(), lines.end(), run.begin(), run.end()) != lines.end())
            << text;
        EXPECT_EQ(lines.back(), "SS") << text;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "SS"), 1) << text;
    }
}
