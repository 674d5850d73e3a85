// The operations behind the dialogs and the command-line program, against the simulated
// unit: what the unit receives, what the technician is told, and in which order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "config/CommandList.h"
#include "config/ConfigImage.h"
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
    CUnitConnection Connection(const CommTimings& timings = FastTimings()) const
    {
        CUnitConnection connection;
        connection.port = Device();
        connection.timings = timings;
        return connection;
    }

    // Whatever the outcome, the operation let go of the port: another program can have it
    // to itself at once.
    void ExpectPortFree() const
    {
        CSerialPort other;
        EXPECT_TRUE(other.Open(Device(), 57600)) << "the port was left open";
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
    // The unit's real waits: an answering unit costs none of them.
    const UnitConfig sent = EditedConfig();
    ASSERT_TRUE(SendConfiguration(Connection({}), sent, {}, observer, errorText)) << errorText;
    EXPECT_EQ(observer.Statuses().back(), kStatusProgrammed);
    ExpectPortFree();

    UnitConfig read{};
    RecordingObserver readObserver;
    ASSERT_TRUE(ReadConfiguration(Connection({}), read, readObserver, errorText)) << errorText;
    ExpectPortFree();
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

// One way a unit fails an operation, and what the technician is told.
struct FailureCase {
    const char* name;
    SimFaults faults;
    std::string error;
    std::vector<std::string> statuses;
    bool realTimings = false;  // the unit's real waits, where they cost little
};

SimFaults LineFault(const std::string& prefix, SimLineFault::Kind kind, int times = -1)
{
    SimFaults faults;
    faults.lineFaults = {{prefix, 0, times, kind}};
    return faults;
}

constexpr char kNoSuchPort[] = "/dev/weirlink-no-such-port";

TEST_F(DeviceOperationsTest, EveryOperationReportsAPortItCannotOpen)
{
    const std::string missing =
        std::string(kOpenFailedText) + "\n" + kNoSuchPort + ": No such file or directory";
    const std::string busy =
        std::string(kOpenFailedText) + "\n" + Device() + ": Device or resource busy";
    CSerialPort holder;
    ASSERT_TRUE(holder.Open(Device(), 57600));

    // The real waits: a port that cannot be opened costs none of them.
    for (const auto& [port, expected] :
         {std::pair{std::string(kNoSuchPort), missing}, std::pair{Device(), busy}}) {
        SCOPED_TRACE(port);
        CUnitConnection connection = Connection({});
        connection.port = port;
        UnitConfig config = DefaultConfig();
        RecordingObserver read, send, output, flash;

        EXPECT_FALSE(ReadConfiguration(connection, config, read, errorText));
        EXPECT_TRUE(errorText.starts_with(expected)) << errorText;
        EXPECT_FALSE(SendConfiguration(connection, config, {}, send, errorText));
        EXPECT_TRUE(errorText.starts_with(expected)) << errorText;
        EXPECT_FALSE(TestOutput(connection, 1, 4.0, output, errorText));
        EXPECT_TRUE(errorText.starts_with(expected)) << errorText;
        CFlashRun run;
        EXPECT_FALSE(run.Run({port, 57600, 57600, "unused.bin"}, flash));
        EXPECT_TRUE(run.GetErrorText().starts_with(expected)) << run.GetErrorText();

        for (RecordingObserver* seen : {&read, &send, &output})
            EXPECT_EQ(seen->Statuses(), std::vector<std::string>{kStatusConnecting});
        ASSERT_EQ(flash.Statuses().size(), 2u);
        EXPECT_TRUE(flash.Statuses()[1].starts_with(kStatusFailedPrefix + expected));
    }
    EXPECT_EQ(unit->Log().banners, 0);
}

TEST_F(DeviceOperationsTest, FailedReadsTellTheStepAndLeaveTheRecordAlone)
{
    SimFaults silent, withoutMarker, noImage, damagedImage;
    silent.silent = true;
    withoutMarker.bannerWithoutMarker = true;
    noImage.image = SimImageFault::NoStartByte;
    damagedImage.image = SimImageFault::BadChecksum;
    const std::vector<std::string> connecting{kStatusConnecting};
    const std::vector<std::string> reading{kStatusConnecting, kStatusReading};
    const std::vector<std::string> loading{kStatusConnecting, kStatusReading, kStatusLoading};
    const FailureCase cases[] = {
        {"no banner", silent, kEnterCommandModeText, connecting},
        {"banner without marker", withoutMarker, kEnterCommandModeText, connecting, true},
        {"no handshake", LineFault("OK", SimLineFault::Kind::Silent), CommandFailedText("OK"),
         connecting},
        {"no reply to PS", LineFault("PS", SimLineFault::Kind::Silent), kQueryFailedText, reading},
        {"no image start", noImage, kNoFileHeaderText, reading, true},
        {"damaged image", damagedImage, kImageChecksumText, loading, true},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        unit->SetFaults(c.faults);
        UnitConfig record;
        std::memset(&record, 0xA7, sizeof record);
        const UnitConfig sentinel = record;
        RecordingObserver seen;
        EXPECT_FALSE(ReadConfiguration(Connection(c.realTimings ? CommTimings{} : FastTimings()),
                                       record, seen, errorText));
        EXPECT_EQ(errorText, c.error);
        EXPECT_EQ(std::memcmp(&record, &sentinel, sizeof record), 0) << "the record changed";
        EXPECT_EQ(seen.Statuses(), c.statuses);
        ExpectPortFree();
    }
}

TEST_F(DeviceOperationsTest, FailedSendsTellTheStepAndSendNothingAfterIt)
{
    SimFaults silent;
    silent.silent = true;
    UnitConfig unreachableRate = DefaultConfig();
    unreachableRate.serialPort[PortConfiguration].baudRate = 12345;
    struct Case {
        const char* name;
        SimFaults faults;
        UnitConfig config;
        std::string error;
        std::vector<std::string> lastStatuses;
        int hardwareApplies;
        bool realTimings = false;
    } const cases[] = {
        {"no banner", silent, DefaultConfig(), kEnterCommandModeText, {kStatusConnecting}, 0},
        // The retry waits its real second.
        {"a line fails twice",
         LineFault("SO ", SimLineFault::Kind::ErrorReply),
         DefaultConfig(),
         CommandFailedText("SO 90 90 90"),
         {"Sending SO", "Retrying SO"},
         0,
         true},
        {"no echo of SH",
         LineFault("SH", SimLineFault::Kind::Silent),
         DefaultConfig(),
         kApplyHardwareText,
         {kStatusApplying},
         0},
        {"rate the port cannot take", {}, unreachableRate, kApplyBaudText, {kStatusApplying}, 1},
        {"no prompt at the new rate",
         LineFault("SH", SimLineFault::Kind::EchoOnly),
         DefaultConfig(),
         kFindPromptText,
         {kStatusApplying},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartUnit(DefaultConfig());
        unit->SetFaults(c.faults);
        RecordingObserver seen;
        EXPECT_FALSE(SendConfiguration(Connection(c.realTimings ? CommTimings{} : FastTimings()),
                                       c.config, {}, seen, errorText));
        EXPECT_EQ(errorText, c.error);
        const std::vector<std::string> statuses = seen.Statuses();
        ASSERT_GE(statuses.size(), c.lastStatuses.size());
        EXPECT_EQ(std::vector<std::string>(statuses.end() - std::ptrdiff_t(c.lastStatuses.size()),
                                           statuses.end()),
                  c.lastStatuses);
        EXPECT_EQ(unit->Log().hardwareApplies, c.hardwareApplies);
        if (c.lastStatuses.back() == "Retrying SO") {
            EXPECT_EQ(unit->Log().lines.back(), "SO 90 90 90");  // nothing after the failed line
        }
        ExpectPortFree();
    }
}

TEST_F(DeviceOperationsTest, ALineThatSucceedsOnItsRetryLeavesOnlyTheRetryStatus)
{
    FaultLines("SO ", SimLineFault::Kind::ErrorReply, 1);
    const UnitConfig sent = EditedConfig();
    ASSERT_TRUE(SendConfiguration(Connection(), sent, {}, observer, errorText)) << errorText;
    EXPECT_EQ(errorText, "");
    const std::vector<std::string> statuses = observer.Statuses();
    const auto retry = std::find(statuses.begin(), statuses.end(), "Retrying SO");
    ASSERT_NE(retry, statuses.end());
    EXPECT_EQ(*(retry - 1), "Sending SO");
    EXPECT_EQ(*(retry + 1), "Sending SP");
    EXPECT_EQ(statuses.back(), kStatusProgrammed);
    const UnitConfig programmed = unit->Config();
    EXPECT_EQ(std::memcmp(&programmed, &sent, sizeof sent), 0);
}

TEST_F(DeviceOperationsTest, ProgressCountsEveryLineWithAndWithoutTheTimeLine)
{
    const UnitConfig config = DefaultConfig();
    const int generated = static_cast<int>(BuildSendLines(config, false).size());
    for (const bool synchronizeTime : {false, true}) {
        SCOPED_TRACE(synchronizeTime ? "with the time line" : "without the time line");
        RecordingObserver seen;
        ASSERT_TRUE(
            SendConfiguration(Connection(), config, {synchronizeTime, false}, seen, errorText))
            << errorText;
        const int lines = generated + (synchronizeTime ? 1 : 0);
        std::vector<std::string> progress;
        for (const std::string& event : seen.events)
            if (event.starts_with("range ") || event.starts_with("at ")) progress.push_back(event);
        ASSERT_EQ(progress.size(), std::size_t(lines) + 2);
        EXPECT_EQ(progress[0], "range " + std::to_string(lines));
        for (int i = 0; i <= lines; ++i) EXPECT_EQ(progress[i + 1], "at " + std::to_string(i));
    }
}

TEST_F(DeviceOperationsTest, SendFollowsTheUnitToTheRateStoredForItsPort)
{
    UnitConfig config = DefaultConfig();
    config.serialPort[PortConfiguration].baudRate = 38400;
    ASSERT_TRUE(SendConfiguration(Connection(), config, {}, observer, errorText)) << errorText;
    EXPECT_EQ(unit->BaudRate(), 38400);
    EXPECT_EQ(unit->Log().lines.back(), "SH");
    // The unit now answers at its new rate.
    UnitConfig read{};
    CUnitConnection at38400 = Connection();
    at38400.baudRate = 38400;
    EXPECT_TRUE(ReadConfiguration(at38400, read, observer, errorText)) << errorText;
    const std::uint32_t storedRate = read.serialPort[PortConfiguration].baudRate;  // packed
    EXPECT_EQ(storedRate, 38400u);
}

TEST_F(DeviceOperationsTest, FailedOutputTestsTellTheStep)
{
    SimFaults silent;
    silent.silent = true;
    const FailureCase cases[] = {
        {"no banner", silent, kEnterCommandModeText, {kStatusConnecting}},
        {"command refused",
         LineFault("XO", SimLineFault::Kind::ErrorReply),
         CommandFailedText("XO 1 400"),
         {kStatusConnecting, kStatusSendingOutputTest},
         true},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        unit->SetFaults(c.faults);
        RecordingObserver seen;
        EXPECT_FALSE(TestOutput(Connection(c.realTimings ? CommTimings{} : FastTimings()), 1, 4.0,
                                seen, errorText));
        EXPECT_EQ(errorText, c.error);
        EXPECT_EQ(seen.Statuses(), c.statuses);
        ExpectPortFree();
    }
}

class FlashRunTest : public DeviceOperationsTest {
protected:
    FlashRunTest() : software(std::vector<std::uint8_t>(4096, 0x3C)) {}

    FlashSettings Settings() const { return {Device(), 57600, 115200, software.Path()}; }

    TempFile software;
};

TEST_F(FlashRunTest, FailuresSayWhetherTheUnitWasInItsBootloader)
{
    SimFaults silent, pingSilent, refusing;
    silent.silent = true;
    pingSilent.pingSilent = true;
    refusing.nakFrames = 1000;
    const std::string failed = kStatusFailedPrefix;
    const std::string flashFailed = kStatusFlashFailedPrefix;
    struct Case {
        const char* name;
        SimFaults faults;
        std::string error;
        std::vector<std::string> statuses;
        int reboots;
    } const cases[] = {
        {"no command mode",
         silent,
         kEnterCommandModeText,
         {kStatusConnectingToUnit, failed + kEnterCommandModeText},
         0},
        {"no flash mode",
         LineFault("SX", SimLineFault::Kind::ErrorReply),
         kInitFlashText,
         {kStatusConnectingToUnit, kStatusInitializingFlash, failed + kInitFlashText},
         0},
        {"no ping reply",
         pingSilent,
         kPingNoReplyText,
         {kStatusConnectingToUnit, kStatusInitializingFlash, kStatusLocatingTarget,
          "Error, flash failed:No response to ping request"},
         0},
        // The unit is rebooted out of its bootloader all the same.
        {"blocks refused",
         refusing,
         kDownloadTimeoutText,
         {kStatusConnectingToUnit, kStatusInitializingFlash, kStatusLocatingTarget,
          kStatusLoadingSoftware, kStatusRebooting, flashFailed + kDownloadTimeoutText},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartUnit(DefaultConfig());
        unit->SetFaults(c.faults);
        RecordingObserver seen;
        CFlashRun run(FastTimings());
        EXPECT_FALSE(run.Run(Settings(), seen));
        EXPECT_EQ(run.GetErrorText(), c.error);
        EXPECT_EQ(seen.Statuses(), c.statuses);
        EXPECT_EQ(seen.events.back(), "at 0");
        EXPECT_EQ(unit->Log().reboots, c.reboots);
        ExpectPortFree();
    }
}

TEST_F(FlashRunTest, TheSameRunServesAgainAfterAFailure)
{
    SimFaults faults;
    faults.nakFrames = 5;  // uses up the download's whole time-out budget, then no more
    unit->SetFaults(faults);
    CFlashRun run(FastTimings());
    RecordingObserver first;
    EXPECT_FALSE(run.Run(Settings(), first));
    EXPECT_EQ(run.GetErrorText(), kDownloadTimeoutText);

    // Rebooted, the unit is back in its usual mode and rate.
    ASSERT_TRUE(run.Run(Settings(), observer)) << run.GetErrorText();
    EXPECT_EQ(run.GetErrorText(), "");
    EXPECT_EQ(observer.Statuses().back(), kStatusFlashCompleted);
    const std::vector<std::uint8_t> memory = unit->FlashMemory();
    EXPECT_EQ(std::count(memory.begin(), memory.begin() + 4096, 0x3C), 4096);
    EXPECT_EQ(unit->Log().reboots, 2);
    ExpectPortFree();
}

TEST_F(FlashRunTest, AStopEndsTheRunAndRebootsAUnitInItsBootloader)
{
    // Asks for the stop when the run shows this status, as Ctrl+C or a button would.
    struct StopAt final : CDeviceObserver {
        StopAt(CFlashRun& r, std::string s) : run(r), status(std::move(s)) {}
        void ShowStatus(const std::string& text) override
        {
            seen.Add(text);
            if (text == status) run.Comm().abortRequested = true;
        }
        void SetProgressRange(int) override {}
        void SetProgress(int) override {}
        CFlashRun& run;
        std::string status;
        RecordingObserver seen;
    };
    const std::string aborted = std::string(kStatusFlashFailedPrefix) + kDownloadAbortedText;
    struct Case {
        std::string stopAt;
        std::vector<std::string> statuses;
        std::size_t dataFrames;
        int reboots;
    } const cases[] = {
        {kStatusConnectingToUnit,
         {kStatusConnectingToUnit, kStatusFailedPrefix + std::string(kDownloadAbortedText)},
         0,
         0},
        {kStatusInitializingFlash,
         {kStatusConnectingToUnit, kStatusInitializingFlash, kStatusRebooting, aborted},
         0,
         1},
        {"Flash in progress, 50 % complete",
         {kStatusConnectingToUnit, kStatusInitializingFlash, kStatusLocatingTarget,
          kStatusLoadingSoftware, "Flash in progress, 25 % complete",
          "Flash in progress, 50 % complete", kStatusRebooting, aborted},
         2,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopAt);
        StartUnit(DefaultConfig());
        CFlashRun run(FastTimings());
        StopAt stop(run, c.stopAt);
        EXPECT_FALSE(run.Run(Settings(), stop));
        EXPECT_EQ(run.GetErrorText(), kDownloadAbortedText);
        EXPECT_EQ(stop.seen.Statuses(), c.statuses);
        const SimLog log = unit->Log();
        EXPECT_EQ(log.dataFrames.size(), c.dataFrames);
        EXPECT_EQ(log.reboots, c.reboots);
        if (c.reboots == 0) {
            EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "SX 115200"), 0);
        }
        ExpectPortFree();
    }
}

TEST_F(FlashRunTest, ProgressShowsWholePercentsOnceTheDownloadHasMoved)
{
    CFlashRun run(FastTimings());
    SimFaults silent;
    silent.silent = true;
    unit->SetFaults(silent);
    run.Run(Settings(), observer);  // any run gives the progress its observer
    observer.events.clear();

    CCommunications& comm = run.Comm();
    comm.percentComplete = 0.0;
    comm.display->UpdateProgress();
    EXPECT_TRUE(observer.events.empty());
    comm.percentComplete = 99.7;
    comm.display->UpdateProgress();
    EXPECT_EQ(observer.events,
              (std::vector<std::string>{"Flash in progress, 99 % complete", "at 99"}));
}

TEST(SoftwareDisplayName, ShowsTheFileNameWhenOneFollowsTheLastSeparator)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\units\\hub.bin", "hub.bin"},
        {"/home/a/hub.bin", "hub.bin"},
        {"units\\hub.bin", "hub.bin"},
        {"C:\\units\\x", "C:\\units\\x"},  // one character after the separator
        {"C:\\units\\", "C:\\units\\"},
        {"\\hub.bin", "\\hub.bin"},  // the separator is the first character
        {"hub.bin", "hub.bin"},
        {"", ""},
    };
    for (const auto& [path, shown] : cases) EXPECT_EQ(SoftwareDisplayName(path), shown) << path;
}

}  // namespace
