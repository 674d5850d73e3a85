// The operations behind the dialogs and the command-line program, against the simulated
// unit: what the unit receives, what the technician is told, and in which order.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>

#include "config/CommandList.h"
#include "device/ConfigTransfer.h"
#include "device/FlashRun.h"
#include "device/OutputTest.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

// Everything an operation told, in order; progress as "range N" and "at N".
struct RecordingObserver final : CDeviceObserver {
    void ShowStatus(const std::string& text) override { Add(text); }
    void SetProgressRange(int maximum) override { Add("range " + std::to_string(maximum)); }
    void SetProgress(int position) override { Add("at " + std::to_string(position)); }

    void Add(const std::string& entry)
    {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(entry);
    }
    std::vector<std::string> Statuses() const
    {
        std::vector<std::string> statuses;
        for (const std::string& event : events)
            if (event.rfind("range ", 0) != 0 && event.rfind("at ", 0) != 0)
                statuses.push_back(event);
        return statuses;
    }

    std::mutex mutex;
    std::vector<std::string> events;
};

class DeviceOperationsTest : public SimulatedUnitTest {
protected:
    CUnitConnection Connection() const
    {
        CUnitConnection connection;
        connection.port = Device();
        connection.timings = FastTimings();
        return connection;
    }

    RecordingObserver observer;
    std::string errorText;
};

UnitConfig EditedConfig()
{
    UnitConfig config = DefaultConfig();
    std::strcpy(config.siteName, "Lowmill");
    config.instrumentType[1] = InstrumentKestrel;
    std::strcpy(config.instrumentName[1], "Upstream");
    config.alarmRule[0] = AlarmRule{1, 0, 1, 16, 1, 1, 2, 1270, -500, AlarmCombineAnd, 1};
    config.smoothing[0].tcf = 0.29f;
    return config;
}

TEST_F(DeviceOperationsTest, SendThenReadGivesBackTheSentRecord)
{
    const UnitConfig sent = EditedConfig();
    ASSERT_TRUE(SendConfiguration(Connection(), sent, {}, observer, errorText)) << errorText;
    EXPECT_EQ(observer.Statuses().back(), kStatusProgrammed);

    UnitConfig read{};
    RecordingObserver readObserver;
    ASSERT_TRUE(ReadConfiguration(Connection(), read, readObserver, errorText)) << errorText;
    EXPECT_EQ(std::memcmp(&read, &sent, sizeof read), 0);
    EXPECT_EQ(readObserver.events,
              (std::vector<std::string>{"range 3", "at 0", kStatusConnecting, kStatusReading,
                                        "at 1", kStatusLoading, "at 2", kStatusLoaded, "at 3"}));
}

TEST_F(DeviceOperationsTest, SendWithClockAndTotalizerSendsThemFirst)
{
    const UnitConfig config = DefaultConfig();
    ASSERT_TRUE(SendConfiguration(Connection(), config, {true, true}, observer, errorText))
        << errorText;
    const std::vector<std::string> lines = unit->Log().lines;
    std::vector<std::string> generated;
    BuildCommandList(config, generated);
    // The handshake, the time line, three SZ lines, the configuration, then SH.
    ASSERT_EQ(lines.size(), 1 + 1 + 3 + generated.size() + 1);
    EXPECT_EQ(lines[1].substr(0, 3), "ST ");
    EXPECT_EQ(lines[2], "SZ 1");
    EXPECT_EQ(lines[4], "SZ 3");
    EXPECT_EQ(lines[5], "IP 192 168 1 10");
    EXPECT_EQ(observer.events[0], "range " + std::to_string(4 + generated.size()));
}

TEST_F(DeviceOperationsTest, ALineThatFailsTwiceEndsTheSendWithoutSH)
{
    FaultLines("SO ", SimLineFault::Kind::ErrorReply);
    EXPECT_FALSE(SendConfiguration(Connection(), DefaultConfig(), {}, observer, errorText));
    EXPECT_EQ(errorText, "The command \"SO 90 90 90\" failed.");
    const std::vector<std::string> statuses = observer.Statuses();
    EXPECT_EQ(statuses[statuses.size() - 2], "Sending SO");
    EXPECT_EQ(statuses.back(), "Retrying SO");
    EXPECT_EQ(unit->Log().hardwareApplies, 0);
}

TEST_F(DeviceOperationsTest, FlashRunTellsEveryStageAndEndsWithTheBarAtZero)
{
    TempFile software(std::vector<std::uint8_t>(4096, 0xA5));
    CFlashRun run(FastTimings());
    ASSERT_TRUE(run.Run({Device(), 57600, 115200, software.Path()}, observer));
    const std::vector<std::string> statuses = observer.Statuses();
    EXPECT_EQ(statuses,
              (std::vector<std::string>{
                  kStatusConnectingToUnit, kStatusInitializingFlash, kStatusLocatingTarget,
                  kStatusLoadingSoftware, "Flash in progress, 25 % complete",
                  "Flash in progress, 50 % complete", "Flash in progress, 75 % complete",
                  "Flash in progress, 100 % complete", kStatusRebooting, kStatusFlashCompleted}));
    EXPECT_EQ(observer.events.back(), "at 0");
    EXPECT_EQ(unit->Log().reboots, 1);
}

TEST_F(DeviceOperationsTest, OutputTestSendsHundredthsOfAMilliampereTruncated)
{
    EXPECT_EQ(OutputTestCommand(1, 4.35), "XO 1 434");
    EXPECT_EQ(OutputTestCommand(2, 12.0), "XO 2 1200");
    ASSERT_TRUE(TestOutput(Connection(), 2, 12.0, observer, errorText)) << errorText;
    EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>{{2, 1200}}));
    EXPECT_EQ(observer.Statuses(),
              (std::vector<std::string>{kStatusConnecting, kStatusSendingOutputTest}));
}

}  // namespace
