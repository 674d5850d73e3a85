// The operations behind the dialogs and the command-line program, against the simulated
// unit: what the unit receives, what the technician is told and in which order, and that
// the port is free again afterwards whatever happened.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "config/ConfigImage.h"
#include "device/ConfigTransfer.h"
#include "device/FlashRun.h"
#include "device/OutputTest.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

using Texts = std::vector<std::string>;

// Everything an operation told, in order, progress as "range N" and "at N". Holds the
// operation at the status holdAt until an abort is asked for from another thread.
struct RecordingObserver final : CDeviceObserver {
    void ShowStatus(const std::string& text) override
    {
        events.push_back(text);
        statuses.push_back(text);
        if (text != holdAt) return;
        held = true;
        while (!run->Comm().abortRequested) std::this_thread::yield();
    }
    void SetProgressRange(int most) override { events.push_back("range " + std::to_string(most)); }
    void SetProgress(int position) override { events.push_back("at " + std::to_string(position)); }

    Texts events, statuses;
    std::string holdAt;
    CFlashRun* run = nullptr;
    std::atomic<bool> held{false};
};

class DeviceOperationsTest : public SimulatedUnitTest {
protected:
    CUnitConnection Connection(int rate = 57600) const
    {
        return {Device(), rate, FastTimings(), {}};
    }

    // Whatever the outcome, the operation let go of the port.
    void ExpectPortFree() const { EXPECT_TRUE(CSerialPort().Open(Device(), 57600)) << "left open"; }

    FlashSettings Settings() const { return {Device(), 57600, 115200, software.Path()}; }

    RecordingObserver observer;
    std::string errorText;
    TempFile software{std::vector<std::uint8_t>(2900, 0x3C)};
};

TEST_F(DeviceOperationsTest, SendReadAndOutputTestTellEveryTextInOrder)
{
    UnitConfig sent = DefaultConfig();
    std::strcpy(sent.siteName, "Lowmill");
    sent.instrumentType[1] = InstrumentKestrel;
    sent.alarmRule[0] = AlarmRule{1, 0, 1, 16, 1, 1, 2, 1270, -500, AlarmCombineAnd, 1};
    sent.smoothing[0].tcf = 0.29f;
    sent.serialPort[PortConfiguration].baudRate = 38400;
    FaultLines("SO ", SimLineFault::Kind::ErrorReply, 1);  // fails once, then goes through
    ASSERT_TRUE(SendConfiguration(Connection(), sent, {true, true}, observer, errorText))
        << errorText;
    ExpectPortFree();

    // The time line first, the totalizers, the configuration, then "SH" at the stored rate.
    const int count = int(BuildSendLines(sent, true).size()) + 1;
    const Texts lines = unit->Log().lines;
    EXPECT_EQ(lines[1].substr(0, 3), "ST ");
    EXPECT_EQ(Texts(lines.begin() + 2, lines.begin() + 6),
              (Texts{"SZ 1", "SZ 2", "SZ 3", "IP 192 168 1 10"}));
    EXPECT_EQ(lines.back(), "SH");
    EXPECT_EQ(unit->BaudRate(), 38400);
    Texts progress = {"range " + std::to_string(count)};
    for (int i = 0; i <= count; ++i) progress.push_back("at " + std::to_string(i));
    std::erase_if(observer.events, [](const std::string& e) {
        return !e.starts_with("at ") && !e.starts_with("range ");
    });
    EXPECT_EQ(observer.events, progress);
    const Texts& said = observer.statuses;
    const auto retry = std::find(said.begin(), said.end(), "Retrying SO");
    ASSERT_NE(retry, said.end());
    EXPECT_EQ(Texts(retry - 1, retry + 2), (Texts{"Sending SO", "Retrying SO", "Sending SP"}));
    EXPECT_EQ(Texts(said.begin(), said.begin() + 2), (Texts{kStatusConnecting, "Sending ST"}));
    EXPECT_EQ(Texts(said.end() - 2, said.end()), (Texts{kStatusApplying, kStatusProgrammed}));

    UnitConfig read{};
    RecordingObserver reading;
    ASSERT_TRUE(ReadConfiguration(Connection(38400), read, reading, errorText)) << errorText;
    ExpectPortFree();
    EXPECT_EQ(std::memcmp(&read, &sent, sizeof read), 0);
    EXPECT_EQ(reading.events, (Texts{"range 3", "at 0", kStatusConnecting, kStatusReading, "at 1",
                                     kStatusLoading, "at 2", kStatusLoaded, "at 3"}));

    // The test current goes out in hundredths of a milliampere, truncated.
    ASSERT_TRUE(TestOutput(Connection(38400), 1, 4.35, reading, errorText)) << errorText;
    EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>{{1, 434}}));
    EXPECT_EQ(reading.statuses.back(), kStatusSendingOutputTest);
    ExpectPortFree();

    // A current no channel can drive never reaches the unit, whoever asks for it.
    const int banners = unit->Log().banners;
    for (const double refused : {3.99, 20.01, -7.0, 1e9, std::nan(""), HUGE_VAL}) {
        EXPECT_FALSE(TestOutput(Connection(38400), 1, refused, reading, errorText)) << refused;
        EXPECT_EQ(errorText, kTestCurrentText) << refused;
    }
    EXPECT_EQ(unit->Log().banners, banners);
    EXPECT_EQ(unit->Log().outputTests.size(), 1u);
}

// Each failed step leaves what came after it undone and the port free; a failed read leaves
// the record as it was.
TEST_F(DeviceOperationsTest, FailuresStopAtTheirStep)
{
    enum Operation { Read, Send, Output, Flashing };
    using K = SimLineFault::Kind;
    const auto lines = [](const char* prefix, K kind) {
        return With(&SimFaults::lineFaults, std::vector<SimLineFault>{{prefix, 0, -1, kind}});
    };
    const SimFaults silent = With(&SimFaults::silent, true);
    const SimFaults badImage = With(&SimFaults::image, SimImageFault::BadChecksum);
    const struct {
        Operation operation;
        SimFaults faults;
        std::string error, statuses;  // the last statuses, joined by " | "
        int reboots = 0;
        const char* lastLine = "";  // the last line the unit received
    } cases[] = {
        {Read, silent, kEnterCommandModeText, "Connecting..."},
        {Read, lines("PS", K::Silent), kQueryFailedText,
         "Connecting... | Reading configuration from device..."},
        {Read, badImage, kImageChecksumText,
         "Reading configuration from device... | Loading settings..."},
        // A line that fails twice ends the send: nothing after it goes out.
        {Send, lines("SO ", K::ErrorReply), CommandFailedText("SO 90 90 90"),
         "Sending SO | Retrying SO", 0, "SO 90 90 90"},
        {Send, lines("SH", K::EchoOnly), kFindPromptText, "Applying hardware changes..."},
        {Output, lines("XO", K::ErrorReply), CommandFailedText("XO 1 400"),
         "Connecting... | Sending XO Command"},
        {Flashing, lines("SX", K::ErrorReply), kInitFlashText,
         "Initializing the flash process... | Failed: Failed to initialize flash"},
        {Flashing, With(&SimFaults::pingSilent, true), kPingNoReplyText,
         "Locating the download target... | Error, flash failed:No response to ping request"},
        // The unit is rebooted out of its bootloader all the same.
        {Flashing, With(&SimFaults::nakFrames, 1000), kDownloadTimeoutText,
         "Rebooting the unit... | Error, flash failed:" + std::string(kDownloadTimeoutText), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        StartUnit(DefaultConfig());
        unit->SetFaults(c.faults);
        UnitConfig record;
        std::memset(&record, 0xA7, sizeof record);
        const UnitConfig before = record;
        RecordingObserver seen;
        CFlashRun run(FastTimings());
        bool done = true;
        switch (c.operation) {
            case Read: done = ReadConfiguration(Connection(), record, seen, errorText); break;
            case Send:
                done = SendConfiguration(Connection(), DefaultConfig(), {}, seen, errorText);
                break;
            case Output: done = TestOutput(Connection(), 1, 4.0, seen, errorText); break;
            case Flashing:
                done = run.Run(Settings(), seen);
                errorText = run.GetErrorText();
                EXPECT_EQ(seen.events.back(), "at 0");
                break;
        }
        EXPECT_FALSE(done);
        EXPECT_EQ(errorText, c.error);
        std::string tail = seen.statuses.back();
        for (auto at = seen.statuses.rbegin() + 1;
             at != seen.statuses.rend() && tail.size() < c.statuses.size(); ++at)
            tail = *at + " | " + tail;
        EXPECT_EQ(tail, c.statuses);
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << "the record changed";
        EXPECT_EQ(unit->Log().reboots, c.reboots);
        EXPECT_TRUE(!*c.lastLine || unit->Log().lines.back() == c.lastLine);
        ExpectPortFree();
    }
}

TEST_F(DeviceOperationsTest, AFlashRunStoppedFromAnotherThreadRebootsAUnitInItsBootloader)
{
    const std::string aborted = kStatusFlashFailedPrefix + std::string(kDownloadAbortedText);
    const struct {
        std::string stopAt;
        Texts statuses;
        int reboots;
        std::size_t frames;
    } cases[] = {
        {kStatusConnectingToUnit, {kStatusFailedPrefix + std::string(kDownloadAbortedText)}, 0, 0},
        {kStatusInitializingFlash, {kStatusRebooting, aborted}, 1, 0},
        {"Flash in progress, 35 % complete", {kStatusRebooting, aborted}, 1, 1},
    };
    CFlashRun run(FastTimings());  // one run object serves every run of a dialog
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stopAt);
        StartUnit(DefaultConfig());
        RecordingObserver seen;
        seen.holdAt = c.stopAt;
        seen.run = &run;
        bool done = true;
        std::thread worker([&] { done = run.Run(Settings(), seen); });
        while (!seen.held) std::this_thread::yield();
        run.Comm().abortRequested = true;
        worker.join();
        EXPECT_FALSE(done);
        EXPECT_EQ(run.GetErrorText(), kDownloadAbortedText);
        Texts statuses(std::find(seen.statuses.begin(), seen.statuses.end(), c.stopAt) + 1,
                       seen.statuses.end());
        EXPECT_EQ(statuses, c.statuses);
        EXPECT_EQ(unit->Log().reboots, c.reboots);
        EXPECT_EQ(unit->Log().dataFrames.size(), c.frames);
        ExpectPortFree();
    }

    // Rebooted, the unit is back in its usual mode and rate, and the next run starts afresh.
    StartUnit(DefaultConfig());
    ASSERT_TRUE(run.Run(Settings(), observer)) << run.GetErrorText();
    EXPECT_EQ(run.GetErrorText(), "");
    EXPECT_EQ(observer.statuses,
              (Texts{kStatusConnectingToUnit, kStatusInitializingFlash, kStatusLocatingTarget,
                     kStatusLoadingSoftware, "Flash in progress, 35 % complete",
                     "Flash in progress, 70 % complete", "Flash in progress, 100 % complete",
                     kStatusRebooting, kStatusFlashCompleted}));
    EXPECT_EQ(observer.events.back(), "at 0");
    const std::vector<std::uint8_t> memory = unit->FlashMemory();
    EXPECT_EQ(std::count(memory.begin(), memory.begin() + 2900, 0x3C), 2900);
    EXPECT_EQ(unit->Log().reboots, 1);
    ExpectPortFree();
}

TEST(SoftwareDisplayName, ShowsTheFileNameWhenTwoCharactersFollowTheLastSeparator)
{
    for (const char* path : {"C:\\units\\hub.bin", "/home/a/hub.bin"})
        EXPECT_EQ(SoftwareDisplayName(path), "hub.bin");
    for (const char* path : {"C:\\units\\x", "C:\\units\\", "\\hub.bin", "hub.bin", ""})
        EXPECT_EQ(SoftwareDisplayName(path), path);
}

}  // namespace
