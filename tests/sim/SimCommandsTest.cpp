// The simulated unit's lines beyond a send and read-back: what it refuses, what it remembers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/SimCommands.h"

namespace {

struct Unit {
    Unit() { SetDefaults(config); }
    bool Apply(const char* line) { return ApplyCommandLine(line, config, session, log); }
    UnitConfig config;
    SimSession session;
    SimLog log;
};

TEST(SimCommands, RejectedLinesChangeNothing)
{
    // clang-format off
    for (const char* line : {
        "", "ZZ 1", "IP 1 2 3", "IP 1 2 3 256", "IP 1 2 3 4 5", "IP  1 2 3 4", "SM 2",
        "SI 1 FOO", "SI 4 KESTREL", "SN 4 Name", "SN", "SP 5 9600 1 0", "SP 0 0 1 0",
        "SP 0 9600 2 0", "SP 0 9600 1 4", "SO 1 2 40000", "MR 2", "SA 2", "AE 1 1 1",
        "AR 0 1 1 0 0", "AR 1 0 1 0 0", "RE 9 1", "RC 1 3 1 1 1 0", "RO 1 XOR", "AT 1 2 x",
        "AS 1 2 99999999999", "LD 1 0 0 0 0", "TM 3", "LC 256", "SS 1", "OK 1", "XO 5 400",
        "XO 1 -1", "SZ 4", "ST 2024 13 1 0 0 0"}) {
        // clang-format on
        Unit unit;
        const Unit defaults;
        EXPECT_FALSE(unit.Apply(line)) << line;
        EXPECT_EQ(std::memcmp(&unit.config, &defaults.config, sizeof unit.config), 0) << line;
        EXPECT_TRUE(unit.log.zeroedTotalizers.empty() && unit.log.outputTests.empty());
    }
}

TEST(SimCommands, RulesUnitCodesAndTheSessionsLines)
{
    Unit unit;
    unit.config.alarmRule[3] = {1, 2, 2, 5, 5, 1, 1, 100, 200, AlarmCombineAnd, 1};
    unit.config.analogChannelCount = 2;
    for (const char* line : {"RE 4 0", "SU 2", "SU 8", "SU 13", "SU 23", "SU 27", "SU 36",
                             "ST 2024 02 29 23 05 09", "SZ 1", "SZ 3", "XO 2 1200", "SS", "OK"})
        ASSERT_TRUE(unit.Apply(line)) << line;
    const AlarmRule zero{};
    EXPECT_EQ(std::memcmp(&unit.config.alarmRule[3], &zero, sizeof zero), 0);  // removed
    const std::uint8_t codes[8] = {2, 8, 13, 23, 27, 36, 38, 0};  // kinds by order in a row
    EXPECT_EQ(std::memcmp(unit.config.unitCode, codes, 8), 0);
    EXPECT_EQ(unit.log.clock, "2024-02-29 23:05:09");
    EXPECT_EQ(unit.log.zeroedTotalizers, (std::vector<int>{1, 3}));
    EXPECT_EQ(unit.log.outputTests, (std::vector<std::pair<int, int>>{{2, 1200}}));
    EXPECT_EQ(unit.log.saves, 1);
    EXPECT_FALSE(unit.Apply("XO 3 400"));  // the unit has two channels

    ASSERT_TRUE(unit.Apply("TM 0") && unit.Apply("SU 4"));  // any other line ends the row
    EXPECT_EQ(unit.config.unitCode[0], 4);
}

}  // namespace
