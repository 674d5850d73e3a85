// The operations behind the dialogs and the command-line program, against the simulated
// unit: what the unit receives, what the technician is told and in which order, and that
// the port is free again afterwards whatever happened.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <thread>

#include "config/ConfigImage.h"
#include "device/ConfigTransfer.h"
#include "device/FlashRun.h"
#include "device/OutputTest.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

using Texts = std::vector<std::string>;

// Everything an operation told, in order, progress as "at N of M". Holds the operation at
// the status holdAt until a stop is asked for from another thread; throws at the status
// throwAt, as a report that runs out of memory would.
struct RecordingObserver final : COperationObserver {
    void ShowStatus(const std::string& text) override
    {
        events.push_back(text);
        statuses.push_back(text);
        if (text == throwAt) throw std::bad_alloc();
        if (text != holdAt) return;
        held = true;
        while (!stop) std::this_thread::yield();
    }
    void ShowProgress(std::size_t current, std::size_t maximum) override
    {
        events.push_back("at " + std::to_string(current) + " of " + std::to_string(maximum));
    }
    bool StopRequested() const override { return stop; }

    Texts events, statuses;
    std::string holdAt, throwAt;
    std::atomic<bool> stop{false};
    std::atomic<bool> held{false};
};

// Runs the operation on a thread of its own, holds it at the status and stops it from here.
template <class Operation>
bool StopAt(RecordingObserver& observer, const std::string& status, Operation&& operation)
{
    observer.holdAt = status;
    bool done = true;
    std::thread worker([&] { done = operation(); });
    while (!observer.held) std::this_thread::yield();
    observer.stop = true;
    worker.join();
    return done;
}

enum Operation { Read, Send, Output, Flashing };

class DeviceOperationsTest : public SimulatedUnitTest {
protected:
    UnitConnection Connection(int rate = 57600) const
    {
        return {Device(), rate, FastTimings(), {}};
    }

    // Whatever the outcome, the operation let go of the port.
    void ExpectPortFree() const { EXPECT_TRUE(CSerialPort().Open(Device(), 57600)) << "left open"; }

    FlashOptions Software() const { return {115200, software.Path()}; }

    // One operation: a read into `record`, which starts full of marker bytes so that any
    // change to it shows; a send of the defaults; channel 1 at 4 mA; the software.
    bool Run(Operation operation, const UnitConnection& connection, RecordingObserver& seen)
    {
        std::memset(&record, kMarker, sizeof record);
        switch (operation) {
            case Read: return ReadConfiguration(connection, record, seen, errorText);
            case Send: return SendConfiguration(connection, DefaultConfig(), {}, seen, errorText);
            case Output: return TestOutput(connection, 1, 4.0, seen, errorText);
            case Flashing: return FlashSoftware(connection, Software(), seen, errorText);
        }
        return true;
    }
    void ExpectRecordUntouched() const
    {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
        EXPECT_EQ(std::count(bytes, bytes + sizeof record, kMarker), std::ptrdiff_t(sizeof record))
            << "the record changed";
    }

    static constexpr std::uint8_t kMarker = 0xA7;
    RecordingObserver observer;
    std::string errorText;
    TempFile software{std::vector<std::uint8_t>(2900, 0x3C)};
    UnitConfig record;
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
    Texts progress;
    for (int i = 0; i <= count; ++i)
        progress.push_back("at " + std::to_string(i) + " of " + std::to_string(count));
    std::erase_if(observer.events, [](const std::string& e) { return !e.starts_with("at "); });
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
    EXPECT_EQ(reading.events, (Texts{"at 0 of 3", kStatusConnecting, kStatusReading, "at 1 of 3",
                                     kStatusLoading, "at 2 of 3", kStatusLoaded, "at 3 of 3"}));

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

// The overall limits on replies leave a real unit at the slowest rate all the time it needs:
// a line paced at 1200 baud carries the configuration image in about four seconds.
TEST_F(DeviceOperationsTest, AUnitAt1200BaudIsReadAndTestedWithTheRealWaits)
{
    SimOptions slow;
    slow.baudRate = 1200;
    slow.pace = true;
    StartUnit(DefaultConfig(), slow);
    const UnitConnection connection{Device(), 1200, CommTimings{}, {}};
    UnitConfig read{};
    const UnitConfig defaults = DefaultConfig();
    ASSERT_TRUE(ReadConfiguration(connection, read, observer, errorText)) << errorText;
    EXPECT_EQ(std::memcmp(&read, &defaults, sizeof read), 0);
    ASSERT_TRUE(TestOutput(connection, 2, 20.0, observer, errorText)) << errorText;
    EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>{{2, 2000}}));
}

// Each failed step leaves what came after it undone and the port free; a failed read leaves
// the record as it was.
TEST_F(DeviceOperationsTest, FailuresStopAtTheirStep)
{
    using K = SimLineFault::Kind;
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
        {Read, LineFaults("PS", K::Silent), kQueryFailedText,
         "Connecting... | Reading configuration from device..."},
        {Read, badImage, kImageChecksumText,
         "Reading configuration from device... | Loading settings..."},
        // A line that fails twice ends the send: nothing after it goes out.
        {Send, LineFaults("SO ", K::ErrorReply), CommandFailedText("SO 90 90 90"),
         "Sending SO | Retrying SO", 0, "SO 90 90 90"},
        {Send, LineFaults("SH", K::EchoOnly), kFindPromptText, "Applying hardware changes..."},
        {Output, LineFaults("XO", K::ErrorReply), CommandFailedText("XO 1 400"),
         "Connecting... | Sending XO Command"},
        {Flashing, LineFaults("SX", K::ErrorReply), kInitFlashText,
         "Initializing the flash process... | Failed: Failed to initialize flash"},
        // Once the unit has answered "SX", every way out reboots it.
        {Flashing, With(&SimFaults::pingSilent, true), kPingNoReplyText,
         "Rebooting the unit... | Error, flash failed:No response to ping request", 1},
        // The unit is rebooted out of its bootloader all the same.
        {Flashing, With(&SimFaults::nakFrames, 1000), kDownloadTimeoutText,
         "Rebooting the unit... | Error, flash failed:" + std::string(kDownloadTimeoutText), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        StartUnit(DefaultConfig());
        unit->SetFaults(c.faults);
        RecordingObserver seen;
        EXPECT_FALSE(Run(c.operation, Connection(), seen));
        EXPECT_EQ(errorText, c.error);
        if (c.operation == Flashing) {
            EXPECT_EQ(seen.events.back(), "at 0 of 100");
        }
        std::string tail = seen.statuses.back();
        for (auto at = seen.statuses.rbegin() + 1;
             at != seen.statuses.rend() && tail.size() < c.statuses.size(); ++at)
            tail = *at + " | " + tail;
        EXPECT_EQ(tail, c.statuses);
        ExpectRecordUntouched();
        EXPECT_EQ(unit->Log().reboots, c.reboots);
        EXPECT_TRUE(!*c.lastLine || unit->Log().lines.back() == c.lastLine);
        ExpectPortFree();
    }
}

TEST_F(DeviceOperationsTest, AFlashRunStoppedFromAnotherThreadRebootsAUnitInItsBootloader)
{
    const Texts aborted = {kDownloadAbortedText};
    const Texts rebooted = {kStatusRebooting, kDownloadAbortedText};
    const struct {
        std::string stopAt;
        SimFaults faults;
        Texts statuses;
        int reboots;
        std::size_t frames;
    } cases[] = {
        {kStatusConnectingToUnit, {}, aborted, 0, 0},
        {kStatusInitializingFlash, {}, aborted, 0, 0},  // "SX" is not sent any more
        // While it waits for a ping reply that does not come.
        {kStatusLocatingTarget, With(&SimFaults::pingSilent, true), rebooted, 1, 0},
        {"Flash in progress, 35 % complete", {}, rebooted, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stopAt);
        StartUnit(DefaultConfig());
        unit->SetFaults(c.faults);
        RecordingObserver seen;
        EXPECT_FALSE(StopAt(seen, c.stopAt, [&] {
            return FlashSoftware(Connection(), Software(), seen, errorText);
        }));
        EXPECT_EQ(errorText, kDownloadAbortedText);
        Texts statuses(std::find(seen.statuses.begin(), seen.statuses.end(), c.stopAt) + 1,
                       seen.statuses.end());
        EXPECT_EQ(statuses, c.statuses);
        EXPECT_EQ(unit->Log().reboots, c.reboots);
        EXPECT_EQ(unit->Log().dataFrames.size(), c.frames);
        ExpectPortFree();
    }

    // Rebooted, the unit is back in its usual mode and rate, and the next run starts afresh.
    StartUnit(DefaultConfig());
    errorText = "not cleared";
    ASSERT_TRUE(FlashSoftware(Connection(), Software(), observer, errorText)) << errorText;
    EXPECT_EQ(errorText, "");
    EXPECT_EQ(observer.statuses,
              (Texts{kStatusConnectingToUnit, kStatusInitializingFlash, kStatusLocatingTarget,
                     kStatusLoadingSoftware, "Flash in progress, 35 % complete",
                     "Flash in progress, 70 % complete", "Flash in progress, 100 % complete",
                     kStatusRebooting, kStatusFlashCompleted}));
    EXPECT_EQ(observer.events.back(), "at 0 of 100");
    const std::vector<std::uint8_t> memory = unit->FlashMemory();
    EXPECT_EQ(std::count(memory.begin(), memory.begin() + 2900, 0x3C), 2900);
    EXPECT_EQ(unit->Log().reboots, 1);
    ExpectPortFree();
}

// A stop from another thread ends a read, a send or an output test at its next check, even
// in the middle of a wait with the unit's real time-outs: "Cancelled", the port free, the
// record as it was, and after the stop not one more line to the unit.
TEST_F(DeviceOperationsTest, OperationsStoppedFromAnotherThreadEndCancelled)
{
    const struct {
        Operation operation;
        std::string stopAt;
        SimFaults faults;
        std::size_t lines;  // the unit received
        CommTimings timings = {};
    } cases[] = {
        // The unit says nothing: the stop ends the wait for the banner.
        {Read, kStatusConnecting, With(&SimFaults::silent, true), 0},
        {Read, kStatusReading, {}, 1},  // the handshake only
        {Send, "Sending SN", {}, 4},    // "OK", "IP", "NM", "GW"
        {Send, "Retrying SN", LineFaults("SN", SimLineFault::Kind::Silent), 5, FastTimings()},
        {Output, kStatusConnecting, With(&SimFaults::silent, true), 0},
        {Output, kStatusSendingOutputTest, {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stopAt);
        StartUnit(DefaultConfig());
        unit->SetFaults(c.faults);
        const UnitConnection connection{Device(), 57600, c.timings, {}};
        RecordingObserver seen;
        EXPECT_FALSE(StopAt(seen, c.stopAt, [&] { return Run(c.operation, connection, seen); }));
        EXPECT_EQ(errorText, kStatusCancelled);
        EXPECT_EQ(seen.statuses.back(), c.stopAt);
        ExpectRecordUntouched();
        ExpectPortFree();
        EXPECT_EQ(unit->Log().lines.size(), c.lines);
    }
}

// A file that cannot be read whole, or is no software at all, is refused before the port
// is opened: the unit hears nothing.
TEST_F(DeviceOperationsTest, AFlashWithAFileThatCannotBeReadWholeNeverTouchesTheUnit)
{
    TempFolder folder;
    const std::string missing = folder.Path() + "/missing.bin", pipe = folder.Path() + "/pipe.bin",
                      empty = folder.Path() + "/empty.bin", huge = folder.Path() + "/huge.bin";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::ofstream(empty).flush();
    std::ofstream(huge).flush();
    ASSERT_EQ(::truncate(huge.c_str(), 1LL << 40), 0);  // a terabyte, sparse
    const std::string open = kDownloadFileText, read = kSoftwareReadText;
    const std::pair<std::string, std::string> cases[] = {
        {missing, open + "\n" + missing + ": No such file or directory"},
        {pipe, open + "\n" + pipe + ": not a regular file"},
        {empty, kSoftwareEmptyText + std::string("\n") + empty + ": 0 bytes"},
        {huge, kSoftwareTooLargeText + std::string("\n") + huge +
                   ": 1099511627776 bytes, more than the 16777216 any unit software takes"},
        // Real files whose reads break off, or that hold more or less than they say.
        {"/proc/self/mem", read + "\n/proc/self/mem: Input/output error"},
        {"/proc/self/status",
         read + "\n/proc/self/status: longer than the 0 bytes the file system reported"},
        {"/sys/devices/system/cpu/online",
         read + "\n/sys/devices/system/cpu/online: only 4 of the 4096 bytes the file system "
                "reported could be read"},
    };
    for (const auto& [path, text] : cases) {
        SCOPED_TRACE(path);
        if (!std::filesystem::exists(path) && path != missing)
            continue;  // no such system file here
        RecordingObserver seen;
        EXPECT_FALSE(FlashSoftware(Connection(), {115200, path}, seen, errorText));
        EXPECT_EQ(errorText, text);
        EXPECT_EQ(seen.statuses, Texts{kStatusFailedPrefix + text});
        EXPECT_EQ(unit->Log().banners, 0);
    }
}

// An exception inside an operation (here from a report that runs out of memory) fails it
// like any other failure; a unit already in its bootloader is rebooted.
TEST_F(DeviceOperationsTest, NoExceptionLeavesAnOperation)
{
    const struct {
        Operation operation;
        std::string throwAt;
        int reboots;
    } cases[] = {{Flashing, kStatusConnectingToUnit, 0},
                 {Flashing, kStatusLoadingSoftware, 1},
                 {Read, kStatusReading, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.throwAt);
        StartUnit(DefaultConfig());
        RecordingObserver seen;
        seen.throwAt = c.throwAt;
        EXPECT_FALSE(Run(c.operation, Connection(), seen));
        EXPECT_EQ(errorText, kOutOfMemoryText);
        EXPECT_EQ(unit->Log().reboots, c.reboots);
        ExpectRecordUntouched();
        ExpectPortFree();
    }
}

TEST(SoftwareDisplayName, ShowsTheFileNameWhenTwoCharactersFollowTheLastSeparator)
{
    for (const char* path : {"C:\\units\\hub.bin", "/home/a/hub.bin"})
        EXPECT_EQ(SoftwareDisplayName(path), "hub.bin");
    for (const char* path : {"C:\\units\\x", "C:\\units\\", "\\hub.bin", "hub.bin", ""})
        EXPECT_EQ(SoftwareDisplayName(path), path);
}

}  // namespace
