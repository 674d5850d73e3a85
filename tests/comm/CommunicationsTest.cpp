// The conversation with the simulated unit: every way a step of command mode or of the
// bootloader fails and the words the technician reads for it; then command mode and the
// downloads when the unit answers.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "config/ConfigImage.h"
#include "sim/Pty.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

using K = SimLineFault::Kind;

std::vector<std::uint8_t> Pattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + i / 251);
    return bytes;
}

// Plays the unit up to one step, then answers that step with a byte every 20 ms and never
// with the end of its reply: a noisy line, or a device that is no unit at all. The step is
// "banner", or the command line that starts the trickle, after `first` if given.
class CTricklingPeer {
public:
    CTricklingPeer(std::string step, std::string first)
        : step(std::move(step)), first(std::move(first))
    {
        EXPECT_TRUE(pty.Open(57600));
        thread = std::thread([this] { Run(); });
    }
    ~CTricklingPeer()
    {
        stopping = true;
        thread.join();
    }
    CTricklingPeer(const CTricklingPeer&) = delete;
    CTricklingPeer& operator=(const CTricklingPeer&) = delete;

    std::string Device() const { return pty.SlavePath(); }

private:
    void Say(const std::string& text) { (void)!::write(pty.MasterFd(), text.data(), text.size()); }
    void Take(char byte)
    {
        if (byte == kWakeUpByte) {
            if (step == "banner")
                trickling = true;
            else
                Say("\r\n[ENTERED CONTROL MODE]\r\n>");
        } else if (byte == '\n') {
            if (line == step) {
                Say(first);
                trickling = true;
            } else {
                Say(line + "\r\nOK\r\n>");
            }
            line.clear();
        } else {
            line += byte;
        }
    }
    void Run()
    {
        while (!stopping) {
            pollfd entry{pty.MasterFd(), POLLIN, 0};
            if (::poll(&entry, 1, 20) > 0 && (entry.revents & POLLIN) != 0) {
                char bytes[256];
                const ssize_t got = ::read(pty.MasterFd(), bytes, sizeof bytes);
                for (ssize_t i = 0; i < got && !trickling; ++i) Take(bytes[i]);
            }
            if (trickling) Say("x");
        }
    }

    const std::string step, first;
    CPty pty;
    std::string line;
    bool trickling = false;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

// A fresh unit and connection for each case; the fixture takes the progress reports.
class Protocol : public SimulatedUnitTest, public COperationObserver {
protected:
    void Fresh(const SimOptions& options = {}, const SimFaults& faults = {})
    {
        StartUnit(DefaultConfig(), options);
        unit->SetFaults(faults);
        stop = false;
        comm = std::make_unique<CCommunications>(timings, this);
        seen.clear();
    }

    // Runs "verb argument" steps separated by ';' until one fails; false when one did.
    bool RunSteps(const std::string& script)
    {
        CCommunications& c = *comm;
        const std::map<std::string, std::function<bool(const std::string&)>> verbs = {
            {"open", [&](auto& a) { return c.EnterCommandMode(a, 57600); }},
            {"connect", [&](auto& a) { return c.EnterCommandMode(Device(), std::stoi(a)); }},
            {"send", [&](auto& a) { return c.SendCommand(a); }},
            {"query", [&](auto&) { return c.QuerySettings(image); }},
            {"apply", [&](auto& a) { return c.ApplyHardware(std::stoi(a)); }},
            {"flash", [&](auto& a) { return c.InitFlash(std::stoi(a)) && c.Ping(); }},
            {"reboot", [&](auto&) { return c.Reboot(); }},
            {"close", [&](auto&) { return c.ClosePort(), true; }},
            {"download", [&](auto& a) { return c.Download(a, true); }},  // keeping the user block
            {"write", [&](auto& a) { return c.Download(a, false); }},
        };
        std::istringstream steps(script);
        for (std::string step; std::getline(steps, step, ';');) {
            const std::size_t blank = step.find(' ');
            const std::string argument = blank == std::string::npos ? "" : step.substr(blank + 1);
            if (!verbs.at(step.substr(0, blank))(argument)) return false;
        }
        return true;
    }

    std::string Query(const UnitConfig& config, SimImageFault fault = SimImageFault::None)
    {
        Fresh();
        unit->SetConfig(config);
        unit->SetFaults(With(&SimFaults::image, fault));
        EXPECT_TRUE(RunSteps("connect 57600;query")) << comm->GetErrorText();
        return image;
    }

    // The frames of a download, which must succeed; the file must be in the unit's memory
    // up to its user block.
    std::vector<SimDataFrame> Download(const std::vector<std::uint8_t>& file,
                                       const SimOptions& options = {}, const SimFaults& faults = {},
                                       const char* verb = "write ")
    {
        Fresh(options, faults);
        const TempFile path(file);
        EXPECT_TRUE(RunSteps("connect 57600;flash 115200;" + (verb + path.Path())))
            << comm->GetErrorText();
        const std::size_t end = std::min<std::size_t>(file.size(), 0x3C000);
        EXPECT_TRUE(std::equal(file.begin(), file.begin() + end, unit->FlashMemory().begin()));
        return unit->Log().dataFrames;
    }

    // Each report in percent of the file. Holds the download at report number holdAt until
    // a stop is asked for.
    void ShowProgress(std::size_t current, std::size_t maximum) override
    {
        seen.push_back(double(current) / double(maximum) * 100.0);
        if (int(seen.size()) != holdAt) return;
        held = true;
        while (!stop) std::this_thread::yield();
    }
    bool StopRequested() const override { return stop; }

    CommTimings timings;  // the unit's real waits, which cost nothing when it answers
    std::atomic<bool> stop{false};
    std::unique_ptr<CCommunications> comm;
    std::string image;
    std::vector<double> seen;
    int holdAt = 0;
    std::atomic<bool> held{false};
};

// Written out on purpose: a changed letter in the tool is a changed message on site.
TEST_F(Protocol, EachFailedStepTellsItsOwnText)
{
    timings = FastTimings();
    const TempFile small(std::vector<std::uint8_t>(100, 1));
    const TempFile large(std::vector<std::uint8_t>(0x40001, 2));
    const std::string connect = "connect 57600;", flash = connect + "flash 115200;";
    const std::string send = flash + "download " + small.Path();
    const std::string enter = "Failed to enter command mode, check connection";
    const std::string openFailed = "Failed to open serial port, check it is not in use\n";
    const std::string noReboot = "No response to reboot request";
    const std::string timedOut = "Timed out waiting for a response during download";
    const struct {
        std::string text, steps;
        SimFaults faults = {};
        SimOptions options = {};
    } cases[] = {
        {openFailed + "/dev/no-such-port: No such file or directory", "open /dev/no-such-port"},
        {openFailed + "COM 99: No such device", "open COM 99"},
        {enter, connect, With(&SimFaults::silent, true)},
        {enter, connect, With(&SimFaults::bannerWithoutMarker, true)},
        {enter, "connect 9600"},  // a unit at another rate hears only noise
        {"The command \"OK\" failed.", connect, LineFaults("OK", K::EchoOnly)},
        // The echo "SN 0 OKANOGAN" holds the letters OK; the unit's answer does not.
        {"The command \"SN 0 OKANOGAN\" failed.", connect + "send SN 0 OKANOGAN",
         LineFaults("SN 0", K::ErrorReply)},
        {"Failed to query the device", connect + "query", LineFaults("PS", K::Silent)},
        {"Failed to find file header, connection may be bad.", connect + "query",
         With(&SimFaults::image, SimImageFault::NoStartByte)},
        {"Failed to apply hardware", connect + "apply 57600", LineFaults("SH", K::Silent)},
        {"Failed to apply new baud", connect + "send SP 2 250000 1 0;apply 250000"},
        // The unit moves to 9600; a tool at 19200 hears no prompt.
        {"Failed find prompt", connect + "send SP 2 9600 1 0;apply 19200"},
        {"Failed to initialize flash", flash, LineFaults("SX", K::ErrorReply)},
        {"Failed to set baud for download", connect + "flash 12345"},
        {"No response to ping request", flash, With(&SimFaults::pingSilent, true)},
        {"Failed to send reboot request", flash + "close;reboot"},
        {noReboot, flash + "reboot", With(&SimFaults::rebootSilent, true)},
        {noReboot, flash + "reboot",
         With(&SimFaults::rebootWrongTypeFirst, true)},  // not the reply first
        {"Could not open the download file\n/tmp: Is a directory", flash + "download /tmp"},
        {"Failed to transmit block", flash + "close;download " + small.Path()},
        {"Failed to transmit query Userblock Addr!", flash + "close;download " + large.Path()},
        {"Failed to read user block", flash + "download " + large.Path(),
         With(&SimFaults::userBlockSilent, true)},
        // Blocks of no bytes would never move the download on.
        {"The unit reported a block size too small to download",
         send,
         {},
         With(&SimOptions::blockSize, 1)},
        // A refused block goes again; the fifth wait in vain ends the download.
        {timedOut, send, With(&SimFaults::nakFrames, 5)},
        {timedOut, flash + "download " + large.Path(), With(&SimFaults::deadAfterFrames, 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        Fresh(c.options, c.faults);
        EXPECT_FALSE(RunSteps(c.steps));
        EXPECT_EQ(comm->GetErrorText(), c.text);
    }
}

// A reply that never ends fails its step in about the byte time-out plus four times what
// its bytes take on the line; each byte arriving within its own time-out does not keep the
// step going. The first case with the unit's real waits, the others with short ones.
TEST_F(Protocol, CommandModeRepliesThatNeverEndFailTheirStep)
{
    const struct {
        const char* step;
        const char* first;
        std::string script;
        std::string text;
        bool realWaits = false;
    } cases[] = {
        {"banner", "", "", kEnterCommandModeText, true},
        {"banner", "", "", kEnterCommandModeText},
        {"OK", "", "", "The command \"OK\" failed."},
        {"LC 6", "LC 6\r\n", ";send LC 6", "The command \"LC 6\" failed."},
        {"PS", "PS\r\nConfiguration image follows\r\n", ";query", kQueryFailedText},
        {"SH", "", ";apply 57600", kApplyHardwareText},
        {"SH", "SH\r\n", ";apply 57600", kFindPromptText},
        {"SX 57600", "SX 57600\r\n", ";flash 57600", kInitFlashText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step + std::string(" ") + c.first);
        timings = c.realWaits ? CommTimings{} : FastTimings();
        Fresh();
        CTricklingPeer peer(c.step, c.first);
        CStepWatchdog watchdog(std::chrono::seconds(30), stop);
        EXPECT_FALSE(RunSteps("open " + peer.Device() + c.script));
        EXPECT_EQ(comm->GetErrorText(), c.text);
    }
}

TEST_F(Protocol, HandshakeTakesAnyPromptUpToThreeTriesAndAComNumberButNotTheEcho)
{
    // Silent for the first "OK", then an answer without "OK": still a handshake.
    timings = FastTimings();
    Fresh({}, With(&SimFaults::lineFaults, std::vector<SimLineFault>{{"OK", 0, 1, K::Silent},
                                                                     {"OK", 0, 1, K::ErrorReply}}));
    EXPECT_TRUE(RunSteps("connect 57600;close")) << comm->GetErrorText();
    EXPECT_EQ(unit->Log().lines, (std::vector<std::string>{"OK", "OK"}));

    FaultLines("OK", K::EchoOnly);
    unit->ClearLog();
    EXPECT_FALSE(RunSteps("connect 57600"));
    EXPECT_EQ(unit->Log().lines.size(), 3u);

    // Reached as COM 1; the echo of "SN 1 OKAY" holds "OK", yet only the answer acknowledges.
    TempRuntimeFolder runtime;
    Fresh();
    EXPECT_FALSE(RunSteps("connect 9600"));
    EXPECT_EQ(unit->Log().banners, 0);  // the unit at another rate heard nothing
    ASSERT_FALSE(unit->Announce().empty());
    EXPECT_TRUE(comm->EnterCommandMode("COM 1", 57600)) << comm->GetErrorText();
    EXPECT_EQ(unit->Log().banners, 1);
    EXPECT_TRUE(RunSteps("send SN 1 OKAY")) << comm->GetErrorText();
    EXPECT_STREQ(unit->Config().instrumentName[0], "OKAY");
}

TEST_F(Protocol, SettingsImageRunsFromItsStartByteToTheClosingMark)
{
    // The unit's words before the image are not part of it; its '?' is.
    std::ostringstream expected;
    ASSERT_TRUE(WriteConfigImage(DefaultConfig(), expected));
    EXPECT_EQ(Query(DefaultConfig()), expected.str() + "?");

    // The mark inside the image cuts it short, for the image reader to reject.
    UnitConfig marked = DefaultConfig();
    std::strcpy(marked.siteName, "A?>B");
    Query(marked);
    EXPECT_EQ(image.size(), offsetof(UnitConfig, siteName) + sizeof(ImageHeader) + 2);

    // Without a mark the reply stops at the buffer's end, the echo and the words included.
    Query(DefaultConfig(), SimImageFault::Unterminated);
    EXPECT_EQ(image.size(),
              kSettingsBufferSize - std::strlen("PS\r\nConfiguration image follows\r\n"));
    EXPECT_EQ(image.front(), '\x13');
}

TEST_F(Protocol, ApplyHardwareFollowsTheUnitToItsNewRate)
{
    Fresh();
    ASSERT_TRUE(RunSteps("connect 57600;send SP 2 9600 1 0;apply 9600")) << comm->GetErrorText();
    EXPECT_EQ(unit->BaudRate(), 9600);
    EXPECT_EQ(comm->Port().GetTimeout(), CommTimings{}.promptAfterBaudMs);
    EXPECT_TRUE(RunSteps("send LC 6"));  // still talking, now at 9600
}

TEST_F(Protocol, BlocksAreEvenAndNoLargerThan1024OrTheSizeThePingReported)
{
    for (const auto& [reported, used] :
         {std::pair{1024, 1024u}, {2000, 1024u}, {513, 512u}, {3, 2u}}) {
        SCOPED_TRACE(reported);
        const std::vector<SimDataFrame> frames =
            Download(Pattern(2100), With(&SimOptions::blockSize, std::uint16_t(reported)));
        EXPECT_EQ(comm->BootInfo().text, "Weirlink boot 1.07");
        ASSERT_EQ(frames.size(), (2100 + used - 1) / used);
        EXPECT_EQ(frames[0].length, used);
        EXPECT_EQ(frames.back().offset + frames.back().length, 2100u);
        EXPECT_EQ(frames.back().type, FrameData);
        ASSERT_EQ(seen.size(), frames.size());  // one report for each acknowledged block
        EXPECT_DOUBLE_EQ(seen[0], used * 100.0 / 2100);
        EXPECT_EQ(seen.back(), 100.0);
    }
    // A ping reply without data leaves what the last one told.
    Fresh(With(&SimOptions::blockSize, std::uint16_t(512)));
    ASSERT_TRUE(RunSteps("connect 57600;flash 115200"));
    unit->SetFaults(With(&SimFaults::pingEmptyReply, true));
    ASSERT_TRUE(comm->Ping());
    EXPECT_EQ(comm->BootInfo().text, "Weirlink boot 1.07");
    EXPECT_EQ(comm->BootInfo().blockSize, 512);
}

TEST_F(Protocol, UserBlockIsSkippedOnlyWhenTheFileReachesPastIt)
{
    const struct {
        std::size_t size;
        std::uint32_t reported, skipFrom;
        int queries;
    } cases[] = {
        {0x40000, 0x3C000, 0x40000, 0},         // exactly up to it: not asked for
        {0x40001, 0x3C000, 0x3C000, 1},         // one byte more
        {0x40000 + 3000, 0x3C123, 0x3C123, 1},  // the block before it is shortened
        {0x40000 + 100, 0x50000, 0x40000, 1},   // above the end: nothing to skip
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const std::vector<std::uint8_t> file = Pattern(c.size);
        const std::vector<SimDataFrame> frames =
            Download(file, With(&SimOptions::userBlockAddress, c.reported), {}, "download ");
        EXPECT_EQ(unit->Log().userBlockQueries, c.queries);
        EXPECT_EQ(comm->UserBlockAddress(), c.skipFrom);
        std::size_t next = 0;
        for (const SimDataFrame& frame : frames) {
            ASSERT_EQ(frame.offset, next == c.skipFrom ? 0x40000 : next);
            EXPECT_EQ(frame.type, FrameDataAlternate);
            next = frame.offset + frame.length;
        }
        EXPECT_EQ(next, c.size);
        const std::vector<std::uint8_t> memory = unit->FlashMemory();
        for (std::size_t at = c.skipFrom; at < c.size; ++at)
            ASSERT_EQ(memory[at], at < 0x40000 ? kSimUserBlockByte : file[at]) << at;
        EXPECT_EQ(seen.back(), 100.0);
    }
}

// A refused block goes again at once; a damaged acknowledgement is passed over, and the
// wait goes on for a good one until the frame time-out. The unit's real waits, but for the
// damaged acknowledgements that no good copy follows: there a tenth of the time-out.
TEST_F(Protocol, RefusedOrDamagedAcknowledgementsSendTheBlockAgain)
{
    SimFaults repeated = With(&SimFaults::corruptAcks, 2);
    repeated.repeatCorruptAck = true;  // each followed at once by a good copy
    const struct {
        SimFaults faults;
        std::size_t frames;
        unsigned frameTimeoutMs;
    } cases[] = {{With(&SimFaults::nakFrames, 4), 7, 10000},
                 {repeated, 3, 10000},
                 {With(&SimFaults::corruptAcks, 2), 5, 1000}};
    for (const auto& c : cases) {
        timings.frameByteTimeoutMs = c.frameTimeoutMs;
        CStepWatchdog watchdog(std::chrono::seconds(30), stop);
        ASSERT_EQ(Download(Pattern(3000), {}, c.faults).size(), c.frames);
        EXPECT_EQ(unit->Log().dataFrames[c.frames - 3].offset, 0u);  // the first block's last try
        EXPECT_EQ(seen.size(), 3u);
    }
}

// However the bootloader fails, the download gives up within the frame time-out times the
// budget of five, or three for the user-block query: each wait ends at the time-out,
// however many polls it had left. A tenth of the real time-out, the real counts.
TEST_F(Protocol, EveryBootloaderFaultEndsWithinItsTimeOuts)
{
    timings.frameByteTimeoutMs = 1000;
    const TempFile small(Pattern(5000)), large(Pattern(0x40001));
    const std::string timedOut = kDownloadTimeoutText;
    SimFaults userBlockSilent = With(&SimFaults::userBlockSilent, true);
    const struct {
        SimFaults faults;
        const TempFile& file;
        std::string text;
        std::size_t frames;  // data frames the unit took note of
        int userBlockQueries;
    } cases[] = {
        {With(&SimFaults::deadAfterFrames, 3), small, timedOut, 4, 0},  // it hears no more
        {With(&SimFaults::corruptAcks, 1000), small, timedOut, 5, 0},
        {With(&SimFaults::nakFrames, 1000), small, timedOut, 5, 0},
        {userBlockSilent, large, kUserBlockNoReplyText, 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Fresh({}, c.faults);
        CStepWatchdog watchdog(std::chrono::seconds(60), stop);
        EXPECT_FALSE(RunSteps("connect 57600;flash 115200;download " + c.file.Path()));
        EXPECT_EQ(comm->GetErrorText(), c.text);
        EXPECT_EQ(unit->Log().dataFrames.size(), c.frames);
        EXPECT_EQ(unit->Log().userBlockQueries, c.userBlockQueries);
    }
}

TEST_F(Protocol, AStopFromAnotherThreadEndsTheDownloadAndTheNextStartsAfresh)
{
    Fresh();
    ASSERT_TRUE(RunSteps("connect 57600;flash 115200"));
    holdAt = 3;
    TempFile file(Pattern(64 * 1024));
    bool done = true;
    std::thread worker([&] { done = comm->Download(file.Path(), false); });
    while (!held) std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_FALSE(done);
    EXPECT_EQ(comm->GetErrorText(), "Download aborted at user request");
    EXPECT_EQ(seen.size(), 3u);  // not one block after the stop
    EXPECT_DOUBLE_EQ(seen.back(), 3 * 100.0 / 64);
    holdAt = 0;
    stop = false;
    EXPECT_TRUE(comm->Download(file.Path(), false)) << comm->GetErrorText();
    EXPECT_TRUE(comm->Reboot()) << comm->GetErrorText();
    EXPECT_EQ(unit->BaudRate(), 57600);  // back at its configuration port's rate
}

}  // namespace
