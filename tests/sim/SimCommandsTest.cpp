// How the simulated unit takes its configuration lines, beyond what a send and a read-back
// through the tool show: what it refuses, and what it remembers besides the record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/SimCommands.h"

namespace {

UnitConfig Defaults()
{
    UnitConfig config;
    SetDefaults(config);
    return config;
}

TEST(SimCommands, RejectedLinesChangeNothing)
{
    // clang-format off
    const char* rejected[] = {
        "", "ZZ 1", "IP 1 2 3", "IP 1 2 3 256", "IP 1 2 3 4 5", "IP  1 2 3 4", "SM 2",
        "SI 1 FOO", "SI 4 KESTREL", "SN 4 Name", "SN", "SP 5 9600 1 0", "SP 0 0 1 0",
        "SP 0 9600 2 0", "SP 0 9600 1 4", "SO 1 2 40000", "MR 2", "SA 2", "AE 1 1 1",
        "AR 0 1 1 0 0", "AR 1 0 1 0 0", "RE 9 1", "RC 1 3 1 1 1 0", "RO 1 XOR", "AT 1 2 x",
        "AS 1 2 99999999999", "LD 1 0 0 0 0", "TM 3", "LC 256", "SS 1", "OK 1", "XO 5 400",
        "XO 1 -1", "SZ 4", "ST 2024 13 1 0 0 0",
    };
    // clang-format on
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

}  // namespace
