// The conversation with the simulated unit: every way a step of command mode or of the
// bootloader fails and the words the technician reads for it, then what command mode does
// when the unit answers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <sstream>

#include "config/ConfigImage.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

using K = SimLineFault::Kind;

class CommandMode : public SimulatedUnitTest {
protected:
    // Runs "verb argument" steps separated by ';' until one fails; false when one did.
    bool RunSteps(CCommunications& comm, const std::string& script)
    {
        const std::map<std::string, std::function<bool(const std::string&)>> verbs = {
            {"open", [&](auto& a) { return comm.EnterCommandMode(a, 57600); }},
            {"connect", [&](auto& a) { return comm.EnterCommandMode(Device(), std::stoi(a)); }},
            {"send", [&](auto& a) { return comm.SendCommand(a); }},
            {"query", [&](auto&) { return comm.QuerySettings(image); }},
            {"apply", [&](auto& a) { return comm.ApplyHardware(std::stoi(a)); }},
            {"flash", [&](auto& a) { return comm.InitFlash(std::stoi(a)) && comm.Ping(); }},
            {"reboot", [&](auto&) { return comm.Reboot(); }},
            {"close", [&](auto&) { return comm.ClosePort(), true; }},
            {"download", [&](auto& a) { return comm.Download(a, true); }},
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
        StartUnit(config);
        unit->SetFaults(With(&SimFaults::image, fault));
        CCommunications comm;
        EXPECT_TRUE(RunSteps(comm, "connect 57600;query")) << comm.GetErrorText();
        return image;
    }

    std::string image;
};

SimFaults Lines(const char* prefix, K kind = K::ErrorReply)
{
    return With(&SimFaults::lineFaults, std::vector<SimLineFault>{{prefix, 0, -1, kind}});
}

// Written out on purpose: a changed letter in the tool is a changed message on site.
TEST_F(CommandMode, EachFailedStepTellsItsOwnText)
{
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
        {"The command \"OK\" failed.", connect, Lines("OK", K::EchoOnly)},
        // The echo "SN 0 OKANOGAN" holds the letters OK; the unit's answer does not.
        {"The command \"SN 0 OKANOGAN\" failed.", connect + "send SN 0 OKANOGAN", Lines("SN 0")},
        {"Failed to query the device", connect + "query", Lines("PS", K::Silent)},
        {"Failed to find file header, connection may be bad.", connect + "query",
         With(&SimFaults::image, SimImageFault::NoStartByte)},
        {"Failed to apply hardware", connect + "apply 57600", Lines("SH", K::Silent)},
        {"Failed to apply new baud", connect + "send SP 2 250000 1 0;apply 250000"},
        // The unit moves to 9600; a tool at 19200 hears no prompt.
        {"Failed find prompt", connect + "send SP 2 9600 1 0;apply 19200"},
        {"Failed to initialize flash", flash, Lines("SX")},
        {"Failed to set baud for download", connect + "flash 12345"},
        {"No response to ping request", flash, With(&SimFaults::pingSilent, true)},
        {"Failed to send reboot request", flash + "close;reboot"},
        {noReboot, flash + "reboot", With(&SimFaults::rebootSilent, true)},
        {noReboot, flash + "reboot",
         With(&SimFaults::rebootWrongTypeFirst, true)},  // not the reply first
        {"Could not open the download file", flash + "download /no/such/file.bin"},
        {"Could not open the download file", flash + "download /tmp"},
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
        StartUnit(DefaultConfig(), c.options);
        unit->SetFaults(c.faults);
        CCommunications comm(FastTimings());
        EXPECT_FALSE(RunSteps(comm, c.steps));
        EXPECT_EQ(comm.GetErrorText(), c.text);
    }
}

TEST_F(CommandMode, HandshakeTakesAnyPromptAndUpToThreeTries)
{
    // Silent for the first "OK", then an answer without "OK": still a handshake.
    unit->SetFaults(
        With(&SimFaults::lineFaults,
             std::vector<SimLineFault>{{"OK", 0, 1, K::Silent}, {"OK", 0, 1, K::ErrorReply}}));
    CCommunications comm(FastTimings());
    EXPECT_TRUE(RunSteps(comm, "connect 57600;close")) << comm.GetErrorText();
    EXPECT_EQ(unit->Log().lines, (std::vector<std::string>{"OK", "OK"}));

    FaultLines("OK", K::EchoOnly);
    unit->ClearLog();
    EXPECT_FALSE(RunSteps(comm, "connect 57600"));
    EXPECT_EQ(unit->Log().lines.size(), 3u);
}

TEST_F(CommandMode, ConnectsByComNumberAndTheAnswerNotTheEchoAcknowledges)
{
    TempRuntimeFolder runtime;
    ASSERT_FALSE(unit->Announce().empty());
    CCommunications comm;
    EXPECT_TRUE(comm.EnterCommandMode(1, 57600)) << comm.GetErrorText();
    EXPECT_EQ(unit->Log().banners, 1);
    EXPECT_TRUE(RunSteps(comm, "send SN 1 OKAY")) << comm.GetErrorText();
    EXPECT_STREQ(unit->Config().instrumentName[0], "OKAY");
}

TEST_F(CommandMode, SettingsImageRunsFromItsStartByteToTheClosingMark)
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

TEST_F(CommandMode, ApplyHardwareFollowsTheUnitToItsNewRate)
{
    CCommunications comm;
    ASSERT_TRUE(RunSteps(comm, "connect 57600;send SP 2 9600 1 0;apply 9600"))
        << comm.GetErrorText();
    EXPECT_EQ(unit->BaudRate(), 9600);
    EXPECT_EQ(comm.Port().GetTimeout(), CommTimings{}.promptAfterBaudMs);
    EXPECT_TRUE(comm.SendCommand("LC 6"));  // still talking, now at 9600
}

}  // namespace
