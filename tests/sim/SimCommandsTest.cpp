// How the simulated unit reads each configuration line back into its record: the inverse of
// the tool's command generation, including the encodings that are easy to get backwards.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "config/CommandList.h"
#include "sim/SimCommands.h"

namespace {

UnitConfig Defaults()
{
    UnitConfig config;
    SetDefaults(config);
    return config;
}

struct LineCase {
    const char* line;
    std::function<bool(const UnitConfig&)> holds;
};

TEST(SimCommands, EachLineSetsItsFields)
{
    const LineCase cases[] = {
        {"IP 10 0 0 254",
         [](const UnitConfig& c) { return c.ipAddress[0] == 10 && c.ipAddress[3] == 254; }},
        {"IS 255 255 0 0",
         [](const UnitConfig& c) { return c.subnetMask[2] == 0 && c.subnetMask[1] == 255; }},
        {"SM 1", [](const UnitConfig& c) { return c.modemEnabled == 1; }},
        {"SB AT&F E0 ",
         [](const UnitConfig& c) { return std::string(c.modemInitString) == "AT&F E0 "; }},
        {"SB ", [](const UnitConfig& c) { return c.modemInitString[0] == '\0'; }},
        {"SN 0 Mill Creek",
         [](const UnitConfig& c) { return std::string(c.siteName) == "Mill Creek"; }},
        {"SN 0 ABCDEFGHIJKLMN",
         [](const UnitConfig& c) { return std::string(c.siteName) == "ABCDEFGHIJK"; }},
        {"SN 3 Weir",
         [](const UnitConfig& c) { return std::string(c.instrumentName[2]) == "Weir"; }},
        {"SI 1 INACTIVE",
         [](const UnitConfig& c) { return c.instrumentType[0] == InstrumentInactive; }},
        {"SI 2 KESTREL",
         [](const UnitConfig& c) { return c.instrumentType[1] == InstrumentKestrel; }},
        {"SI 3 MARTEN",
         [](const UnitConfig& c) { return c.instrumentType[2] == InstrumentMarten; }},
        {"SI 3 CULVERT",
         [](const UnitConfig& c) { return c.instrumentType[2] == InstrumentCulvert; }},
        {"SO -1 4000 3600",
         [](const UnitConfig& c) {
             return c.instrumentTimeout[0] == -1 && c.instrumentTimeout[1] == 4000;
         }},
        // The third argument says "eight data bits": 0 stores sevenDataBits 1.
        {"SP 4 1200 0 2",
         [](const UnitConfig& c) {
             const SerialPortSetting p = c.serialPort[4];
             return p.baudRate == 1200 && p.sevenDataBits == 1 && p.parity == 2 && p.index == 4;
         }},
        {"SP 0 19200 1 3",
         [](const UnitConfig& c) {
             return c.serialPort[0].sevenDataBits == 0 && c.serialPort[0].parity == 3;
         }},
        {"SF 1", [](const UnitConfig& c) { return c.configPortFlowControl == 1; }},
        {"MA 247", [](const UnitConfig& c) { return c.modbusAddress == 247; }},
        {"MR 1", [](const UnitConfig& c) { return c.modbusAscii == 0; }},  // RTU
        {"MF 1", [](const UnitConfig& c) { return c.modbusAltPort == 1; }},
        {"SA 0", [](const UnitConfig& c) { return c.outputType == OutputModbus; }},
        {"AE 0 1 1 0",
         [](const UnitConfig& c) {
             return c.analogChannel[0].enabled == 0 && c.analogChannel[1].enabled == 1 &&
                    c.analogChannel[2].enabled == 2 && c.analogChannel[3].enabled == 0;
         }},
        {"AR 2 3 16 -50 9000",
         [](const UnitConfig& c) {
             const AnalogChannel ch = c.analogChannel[1];
             return ch.instrument == 2 && ch.dataType == 16 && ch.at4mA == -50 && ch.at20mA == 9000;
         }},
        {"AB 0 255",
         [](const UnitConfig& c) {
             return c.badReadingClearCount == 0 && c.timeoutClearCount == 255;
         }},
        {"AS 1 2 3",
         [](const UnitConfig& c) { return c.smoothing[0].band == 1 && c.smoothing[2].band == 3; }},
        {"AT 950 0 1000",
         [](const UnitConfig& c) {
             return c.smoothing[0].tcf == 0.95f && c.smoothing[1].tcf == 0.0f &&
                    c.smoothing[2].tcf == 1.0f;
         }},
        {"AZ 5 0 7",
         [](const UnitConfig& c) {
             return c.smoothing[0].zeroBelow == 5 && c.smoothing[2].zeroBelow == 7;
         }},
        {"LS 0", [](const UnitConfig& c) { return c.lcdShowSmoothed == 0; }},
        {"RE 2 1", [](const UnitConfig& c) { return c.alarmRule[1].enabled == 1; }},
        {"RL 8 1", [](const UnitConfig& c) { return c.alarmRule[7].latching == 1; }},
        {"RO 3 OR", [](const UnitConfig& c) { return c.alarmRule[2].combine == AlarmCombineOr; }},
        {"RO 3 NONE",
         [](const UnitConfig& c) { return c.alarmRule[2].combine == AlarmCombineNone; }},
        {"RC 1 1 1 16 2 -500",
         [](const UnitConfig& c) {
             const AlarmRule r = c.alarmRule[0];
             return r.instrument1 == 0 && r.dataType1 == 16 && r.compare1 == 2 &&
                    r.threshold1 == -500;
         }},
        {"RC 8 2 3 6 5 42",
         [](const UnitConfig& c) {
             const AlarmRule r = c.alarmRule[7];
             return r.instrument2 == 2 && r.dataType2 == 6 && r.compare2 == 5 &&
                    r.threshold2 == 42 && r.threshold1 == 0;
         }},
        {"LB 0", [](const UnitConfig& c) { return c.lcdBacklight == 0; }},
        {"LC 30", [](const UnitConfig& c) { return c.lcdCycleTime == 30; }},
        {"LD 0 1 0 1 0 1",
         [](const UnitConfig& c) {
             const std::uint8_t want[6] = {0, 1, 0, 1, 0, 1};
             return std::memcmp(c.lcdShow, want, 6) == 0;
         }},
        {"TM 2", [](const UnitConfig& c) { return c.totalizerMode == TotalizerNegative; }},
    };
    for (const LineCase& c : cases) {
        UnitConfig config = Defaults();
        SimSession session;
        SimLog log;
        EXPECT_TRUE(ApplyCommandLine(c.line, config, session, log)) << c.line;
        EXPECT_TRUE(c.holds(config)) << c.line;
    }
}

TEST(SimCommands, RejectedLinesChangeNothing)
{
    const char* rejected[] = {
        "",
        "ZZ 1",
        "IP 1 2 3",
        "IP 1 2 3 256",
        "IP 1 2 3 4 5",
        "SM 2",
        "SI 1 FOO",
        "SI 4 KESTREL",
        "SN 4 Name",
        "SN",
        "SP 5 9600 1 0",
        "SP 0 0 1 0",
        "SP 0 9600 2 0",
        "SP 0 9600 1 4",
        "SO 1 2 40000",
        "MR 2",
        "SA 2",
        "AE 1 1 1",
        "AR 0 1 1 0 0",
        "AR 1 0 1 0 0",
        "RE 9 1",
        "RC 1 3 1 1 1 0",
        "RO 1 XOR",
        "AT 1 2 x",
        "LD 1 0 0 0 0",
        "TM 3",
        "LC 256",
        "SS 1",
        "OK 1",
        "XO 5 400",
        "XO 1 -1",
        "SZ 4",
        "ST 2024 13 1 0 0 0",
        "IP  1 2 3 4",
        "AS 1 2 99999999999",
    };
    for (const char* line : rejected) {
        UnitConfig config = Defaults();
        SimSession session;
        SimLog log;
        EXPECT_FALSE(ApplyCommandLine(line, config, session, log)) << line;
        const UnitConfig defaults = Defaults();
        EXPECT_EQ(std::memcmp(&config, &defaults, sizeof config), 0) << line;
        EXPECT_TRUE(log.zeroedTotalizers.empty() && log.outputTests.empty() && log.saves == 0);
    }
}

TEST(SimCommands, RemovingARuleZeroesIt)
{
    UnitConfig config = Defaults();
    config.alarmRule[3] = {1, 2, 2, 5, 5, 1, 1, 100, 200, AlarmCombineAnd, 1};
    SimSession session;
    SimLog log;
    ASSERT_TRUE(ApplyCommandLine("RE 4 0", config, session, log));
    const AlarmRule zero{};
    EXPECT_EQ(std::memcmp(&config.alarmRule[3], &zero, sizeof zero), 0);
}

TEST(SimCommands, UnitCodesGoByTheirOrderInARow)
{
    UnitConfig config = Defaults();
    SimSession session;
    SimLog log;
    for (const char* line : {"SU 2", "SU 8", "SU 13", "SU 23", "SU 27", "SU 36"})
        ASSERT_TRUE(ApplyCommandLine(line, config, session, log)) << line;
    const std::uint8_t want[8] = {2, 8, 13, 23, 27, 36, 38, 0};
    EXPECT_EQ(std::memcmp(config.unitCode, want, 8), 0);
    EXPECT_FALSE(ApplyCommandLine("SU 5", config, session, log));  // a seventh kind is not sent

    // Any other line starts the count again.
    ASSERT_TRUE(ApplyCommandLine("TM 0", config, session, log));
    ASSERT_TRUE(ApplyCommandLine("SU 4", config, session, log));
    EXPECT_EQ(config.unitCode[0], 4);
}

TEST(SimCommands, LinesOfTheSessionAreRemembered)
{
    UnitConfig config = Defaults();
    config.analogChannelCount = 2;
    SimSession session;
    SimLog log;
    for (const char* line : {"ST 2024 02 29 23 05 09", "SZ 1", "SZ 3", "XO 2 1200", "SS", "OK"})
        ASSERT_TRUE(ApplyCommandLine(line, config, session, log)) << line;
    EXPECT_EQ(log.clock, "2024-02-29 23:05:09");
    EXPECT_EQ(log.zeroedTotalizers, (std::vector<int>{1, 3}));
    EXPECT_EQ(log.outputTests, (std::vector<std::pair<int, int>>{{2, 1200}}));
    EXPECT_EQ(log.saves, 1);
    EXPECT_FALSE(ApplyCommandLine("XO 3 400", config, session, log));  // the unit has two channels
}

TEST(SimCommands, EveryGeneratedLineOfTheDefaultsIsTaken)
{
    UnitConfig config = Defaults();
    config.modemEnabled = 1;
    config.outputType = OutputModbus;
    config.alarmRule[0] = {1, 0, 0, 8, 0, AlarmComparePulse, 0, 1000, 0, AlarmCombineNone, 0};
    std::vector<std::string> lines = {"SZ 1", "SZ 2", "SZ 3", "ST 2030 01 01 00 00 00"};
    BuildCommandList(config, lines);
    UnitConfig unit = Defaults();
    SimSession session;
    SimLog log;
    for (const std::string& line : lines)
        EXPECT_TRUE(ApplyCommandLine(line, unit, session, log)) << line;
}

}  // namespace
