#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "config/CommandList.h"

namespace {

using Lines = std::vector<std::string>;

Lines Build(const std::function<void(UnitConfig&)>& change = {})
{
    UnitConfig config;
    SetDefaults(config);
    if (change) change(config);
    Lines lines;
    BuildCommandList(config, lines);
    return lines;
}

bool ContainsRun(const Lines& lines, const Lines& run)
{
    return std::search(lines.begin(), lines.end(), run.begin(), run.end()) != lines.end();
}

std::string Joined(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

void SetRule1(UnitConfig& c, std::uint8_t combine)
{
    AlarmRule& rule = c.alarmRule[0];
    rule.enabled = 1;
    rule.instrument1 = 0;
    rule.dataType1 = 16;
    rule.compare1 = 2;
    rule.threshold1 = -500;
    rule.instrument2 = 2;
    rule.dataType2 = 1;
    rule.compare2 = 1;
    rule.threshold2 = 4381264;
    rule.combine = combine;
}

}  // namespace

TEST(CommandList, DefaultRecordGivesTheFortyEightLines)
{
    const Lines expected = {"IP 192 168 1 10",
                            "IS 255 255 255 0",
                            "SM 0",
                            "SN 0 NewSite",
                            "SI 1 CULVERT",
                            "SN 1 NewIns1",
                            "SI 2 INACTIVE",
                            "SN 2 INACTIVE",
                            "SI 3 INACTIVE",
                            "SN 3 INACTIVE",
                            "SO 90 90 90",
                            "SP 0 9600 1 0",
                            "SP 1 9600 1 0",
                            "SP 2 57600 1 0",
                            "SP 3 9600 1 0",
                            "SP 4 9600 1 0",
                            "SF 0",
                            "MF 0",
                            "SA 1",
                            "AE 1 1 1 1",
                            "AR 1 1 6 0 4381264",
                            "AR 2 1 15 0 3048",
                            "AR 3 1 20 0 3048",
                            "AR 4 1 21 0 3778",
                            "AB 10 10",
                            "AS 4381264 3048 3048",
                            "AT 1000 1000 1000",
                            "AZ 0 0 0",
                            "LS 1",
                            "RE 1 0",
                            "RE 2 0",
                            "RE 3 0",
                            "RE 4 0",
                            "RE 5 0",
                            "RE 6 0",
                            "RE 7 0",
                            "RE 8 0",
                            "LB 1",
                            "LC 4",
                            "LD 1 0 0 0 0 0",
                            "TM 0",
                            "SU 3",
                            "SU 9",
                            "SU 14",
                            "SU 22",
                            "SU 32",
                            "SU 37",
                            "SS"};
    EXPECT_EQ(Build(), expected);
}

TEST(CommandList, AppendsAfterLinesAlreadyInTheList)
{
    UnitConfig config;
    SetDefaults(config);
    Lines lines = {"SZ 1"};
    BuildCommandList(config, lines);
    ASSERT_EQ(lines.size(), 49u);
    EXPECT_EQ(lines[0], "SZ 1");
    EXPECT_EQ(lines[1], "IP 192 168 1 10");
}

struct EdgeCase {
    const char* what;
    std::function<void(UnitConfig&)> change;
    Lines run;  // must appear in this order with nothing between
};

TEST(CommandList, EdgeCasesOfTheRecord)
{
    const EdgeCase cases[] = {
        {"modem with an empty string",
         [](UnitConfig& c) { c.modemEnabled = 1; },
         {"IS 255 255 255 0", "SM 1", "SB ", "SN 0 NewSite"}},
        {"inactive instrument keeps no name",
         [](UnitConfig& c) { c.instrumentType[0] = 0; },
         {"SI 1 INACTIVE", "SN 1 INACTIVE", "SI 2 INACTIVE"}},
        {"KESTREL and MARTEN",
         [](UnitConfig& c) {
             c.instrumentType[1] = 1;
             c.instrumentType[2] = 3;
         },
         {"SI 2 KESTREL", "SN 2 INACTIVE", "SI 3 MARTEN", "SN 3 INACTIVE"}},
        {"model code 7 is sent as CULVERT",
         [](UnitConfig& c) { c.instrumentType[0] = 7; },
         {"SI 1 CULVERT", "SN 1 NewIns1"}},
        {"a name filling its field without a NUL",
         [](UnitConfig& c) { std::memcpy(c.instrumentName[0], "ABCDEFGHIJKL", 12); },
         {"SN 1 ABCDEFGHIJKL", "SI 2 INACTIVE"}},
        {"time-outs are signed",
         [](UnitConfig& c) { c.instrumentTimeout[1] = -1; },
         {"SO 90 -1 90"}},
        {"seven data bits and parity codes",
         [](UnitConfig& c) {
             c.serialPort[1].sevenDataBits = 1;
             c.serialPort[1].parity = 2;
             c.serialPort[4].sevenDataBits = 2;  // only 1 means seven
         },
         {"SP 1 9600 0 2", "SP 2 57600 1 0", "SP 3 9600 1 0", "SP 4 9600 1 0"}},
        {"MODBUS output",
         [](UnitConfig& c) { c.outputType = 2; },
         {"SF 0", "MA 1", "MR 0", "MF 0", "SA 0", "AB 10 10"}},
        {"analog output with the alternate MODBUS port in RTU",
         [](UnitConfig& c) {
             c.modbusAltPort = 1;
             c.modbusAscii = 0;
             c.modbusAddress = 247;
         },
         {"SF 0", "MA 247", "MR 1", "MF 1", "SA 1", "AE 1 1 1 1"}},
        {"neither output type",
         [](UnitConfig& c) { c.outputType = 0; },
         {"SF 0", "MF 0", "AB 10 10"}},
        {"a switched-off channel has no range line",
         [](UnitConfig& c) { c.analogChannel[1].enabled = 0; },
         {"AE 1 0 1 1", "AR 1 1 6 0 4381264", "AR 3 1 20 0 3048", "AR 4 1 21 0 3778"}},
        {"rule with condition 1 only",
         [](UnitConfig& c) { SetRule1(c, 9); },
         {"LS 1", "RE 1 1", "RL 1 0", "RO 1 NONE", "RC 1 1 1 16 2 -500", "RE 2 0"}},
        {"rule with AND",
         [](UnitConfig& c) {
             SetRule1(c, 7);
             c.alarmRule[0].latching = 5;
         },
         {"RE 1 1", "RL 1 1", "RO 1 AND", "RC 1 1 1 16 2 -500", "RC 1 2 3 1 1 4381264", "RE 2 0"}},
        {"rule with OR",
         [](UnitConfig& c) { SetRule1(c, 8); },
         {"RE 1 1", "RL 1 0", "RO 1 OR", "RC 1 1 1 16 2 -500", "RC 1 2 3 1 1 4381264"}},
        {"unknown combination has no RO line",
         [](UnitConfig& c) { SetRule1(c, 0); },
         {"RL 1 0", "RC 1 1 1 16 2 -500", "RC 1 2 3 1 1 4381264", "RE 2 0"}},
        {"rule 8 as a sampler pulse",
         [](UnitConfig& c) {
             AlarmRule& rule = c.alarmRule[7];
             rule.enabled = 1;
             rule.instrument1 = 2;
             rule.dataType1 = 8;
             rule.compare1 = 6;
             rule.threshold1 = 37854118;
             rule.combine = 9;
         },
         {"RE 7 0", "RE 8 1", "RL 8 0", "RO 8 NONE", "RC 8 1 3 8 6 37854118", "LB 1"}},
        {"time-constant factors in thousandths",
         [](UnitConfig& c) {
             c.smoothing[0].tcf = 0.95f;
             c.smoothing[1].tcf = 0.0f;
             c.smoothing[2].tcf = 0.29f;
         },
         {"AT 950 0 290"}},
        {"LCD flags as booleans",
         [](UnitConfig& c) {
             c.lcdBacklight = 9;
             c.lcdShow[5] = 3;
         },
         {"LB 1", "LC 4", "LD 1 0 0 0 0 1"}},
    };
    for (const EdgeCase& c : cases) {
        const Lines lines = Build(c.change);
        EXPECT_TRUE(ContainsRun(lines, c.run)) << c.what << ":\n" << Joined(lines);
        EXPECT_EQ(lines.front().substr(0, 3), "IP ") << c.what;
        EXPECT_EQ(lines.back(), "SS") << c.what;
    }
}

TEST(CommandList, ControlCharactersInTextCannotStartALineOfTheirOwn)
{
    const Lines lines = Build([](UnitConfig& c) {
        std::strcpy(c.siteName, "Ab\nSS\r\x7F");
        std::strcpy(c.instrumentName[0], "X\nSZ 1");
        c.modemEnabled = 1;
        std::strcpy(c.modemInitString, "AT\rZ\x01");
    });
    EXPECT_TRUE(ContainsRun(lines, {"SM 1", "SB ATZ", "SN 0 AbSS"}));
    EXPECT_TRUE(ContainsRun(lines, {"SN 1 XSZ 1"}));
    for (const std::string& line : lines) {
        for (const char ch : line) {
            const auto byte = static_cast<unsigned char>(ch);
            EXPECT_TRUE(byte >= 0x20 && byte != 0x7F) << "in line: " << line;
        }
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "SS"), 1);
}
