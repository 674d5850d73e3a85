// The weirlink program's device commands against a simulated unit on a pseudo-terminal,
// with the protocol's real waits: what a technician types, sees and gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "config/ConfigImage.h"
#include "device/ConfigTransfer.h"
#include "device/FlashRun.h"
#include "device/OutputTest.h"
#include "tests/cli/RunProgram.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

using Lines = std::vector<std::string>;

UnitConfig SiteConfig()
{
    UnitConfig config = DefaultConfig();
    std::strcpy(config.siteName, "Weir 7");
    config.instrumentType[2] = InstrumentMarten;
    config.smoothing[1].tcf = 0.5f;
    return config;
}

std::string Image(const UnitConfig& config)
{
    std::ostringstream image;
    WriteConfigImage(config, image);
    return image.str();
}

class DeviceCommandsTest : public SimulatedUnitTest {
protected:
    std::string Path(const char* name) const { return folder.Path() + "/" + name; }
    Result Run(const std::vector<std::string>& args) const
    {
        return RunProgram(folder.Path(), args);
    }
    std::string WriteFile(const char* name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }

    TempFolder folder;
};

TEST_F(DeviceCommandsTest, ReadWritesTheUnitsConfiguration)
{
    StartUnit(SiteConfig());
    const Result result = Run({"read", "--port", Device(), Path("unit.cfg")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.ErrorLines(),
              (Lines{kStatusConnecting, kStatusReading, kStatusLoading, kStatusLoaded}));
    EXPECT_EQ(ReadFile(Path("unit.cfg")), Image(unit->Config()));
}

TEST_F(DeviceCommandsTest, SendProgramsTheUnitAndReadsBackTheSame)
{
    const std::string file = WriteFile("site.cfg", Image(SiteConfig()));
    const Result sent = Run({"send", "--port", Device(), "--sync-time", "--zero-totalizer", file});
    ASSERT_EQ(sent.status, 0) << sent.err;
    const Lines lines = sent.ErrorLines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ((Lines{lines[0], lines[1], lines[2]}),
              (Lines{kStatusConnecting, "Sending ST", "Sending SZ"}));
    EXPECT_EQ(lines[lines.size() - 2], kStatusApplying);
    EXPECT_EQ(lines.back(), kStatusProgrammed);
    const SimLog log = unit->Log();
    EXPECT_EQ(log.zeroedTotalizers, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(log.clock.empty());

    const Result read = Run({"read", "--port", Device(), "--baud", "57600", Path("back.cfg")});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(ReadFile(Path("back.cfg")), ReadFile(file));
}

TEST_F(DeviceCommandsTest, FilesAreCheckedBeforeTheUnitIsContacted)
{
    std::string damaged = Image(SiteConfig());
    damaged[200] ^= 0x10;
    const std::string config = WriteFile("damaged.cfg", damaged);
    const Result send = Run({"send", "--port", Device(), config});
    EXPECT_EQ(send.status, 1);
    EXPECT_EQ(send.ErrorLines(), Lines{"Error: Validity check (CRC) failed, may be corrupt"});

    const Result flash = Run({"flash", "--port", Device(), Path("missing.bin")});
    EXPECT_EQ(flash.status, 1);
    EXPECT_EQ(flash.ErrorLines(),
              (Lines{"Ready to flash missing.bin", "Error: Could not open the download file (" +
                                                       Path("missing.bin") +
                                                       ": No such file or directory)"}));
    EXPECT_EQ(unit->Log().banners, 0);
}

TEST_F(DeviceCommandsTest, AFailedReadLeavesAnExistingFileAsItWas)
{
    SimFaults faults;
    faults.image = SimImageFault::BadChecksum;
    unit->SetFaults(faults);
    const std::string output = WriteFile("kept.cfg", "the technician's earlier file");
    const Result result = Run({"read", "--port", Device(), output});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.ErrorLines(), (Lines{kStatusConnecting, kStatusReading, kStatusLoading,
                                          "Error: Validity check (CRC) failed, may be corrupt"}));
    EXPECT_EQ(ReadFile(output), "the technician's earlier file");
}

TEST_F(DeviceCommandsTest, PortFailuresEndWithTheErrorLine)
{
    const Result missing = Run({"test-output", "--port", "/dev/weirlink-no-such-port", "--channel",
                                "1", "--current", "4"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.ErrorLines(),
              (Lines{kStatusConnecting,
                     "Error: Failed to open serial port, check it is not in use "
                     "(/dev/weirlink-no-such-port: No such file or directory)"}));

    // The unit's real four seconds for its banner.
    SimFaults silent;
    silent.silent = true;
    unit->SetFaults(silent);
    const Result quiet = Run({"read", "--port", Device(), Path("never.cfg")});
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.ErrorLines(),
              (Lines{kStatusConnecting, "Error: Failed to enter command mode, check connection"}));
    EXPECT_FALSE(std::filesystem::exists(Path("never.cfg")));
}

TEST_F(DeviceCommandsTest, TestOutputDrivesTheChannelAndRefusesCurrentsOutsideTheLoop)
{
    const Result sent =
        Run({"test-output", "--port", Device(), "--channel", "2", "--current", "12.5"});
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(sent.ErrorLines(), (Lines{kStatusConnecting, kStatusSendingOutputTest}));
    EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>{{2, 1250}}));

    const std::vector<std::vector<std::string>> usageErrors = {
        {"--channel", "1", "--current", "3.9"},
        {"--channel", "1", "--current", "20.5"},
        {"--channel", "1", "--current", "many"},
        {"--channel", "0", "--current", "12"},
        {"--channel", "5", "--current", "12"},
        {"--channel", "1", "--current", "12", "--baud", "1000"},
        {"--current", "12"},
    };
    for (const std::vector<std::string>& extra : usageErrors) {
        std::vector<std::string> args{"test-output", "--port", Device()};
        args.insert(args.end(), extra.begin(), extra.end());
        const Result result = Run(args);
        EXPECT_EQ(result.status, 2) << extra[1] << " " << extra.back();
    }
    for (const auto& [command, baudOption] : {std::pair{"read", "--baud"},
                                              {"send", "--baud"},
                                              {"flash", "--connect-baud"},
                                              {"flash", "--download-baud"}}) {
        EXPECT_EQ(Run({command, "x.cfg"}).status, 2) << command << " without --port";
        EXPECT_EQ(Run({command, "--port", Device(), baudOption, "300", "x.cfg"}).status, 2)
            << command << " " << baudOption;
    }
    EXPECT_EQ(unit->Log().outputTests.size(), 1u);
}

TEST_F(DeviceCommandsTest, PortsListsAnAnnouncedUnitWhichAnswersAsComOne)
{
    TempRuntimeFolder runtime;
    ASSERT_FALSE(unit->Announce().empty());
    const Result listed = Run({"ports"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(listed.out.starts_with("COM 1 (simulated unit)  " + Device() + "\n")) << listed.out;

    const Result read = Run({"read", "--port", "COM 1", Path("com1.cfg")});
    EXPECT_EQ(read.status, 0) << read.err;
    unit->Unannounce();
}

TEST_F(DeviceCommandsTest, TraceShowsEveryByteByDirection)
{
    const Result result =
        Run({"test-output", "--trace", "--port", Device(), "--channel", "1", "--current", "4"});
    ASSERT_EQ(result.status, 0) << result.err;
    const Lines lines = result.ErrorLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], kStatusConnecting);
    EXPECT_TRUE(lines[1].starts_with("> 04 ")) << lines[1];  // the wake-up byte
    EXPECT_TRUE(lines[2].starts_with("< 0D 0A ")) << lines[2];
    // The command's line, in hex and as text: "XO 1 400" and its line feed.
    EXPECT_NE(result.err.find("> 58 4F 20 31 20 34 30 30 0A"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("XO 1 400."), std::string::npos);
}

class FlashCommandTest : public DeviceCommandsTest {
protected:
    std::vector<std::uint8_t> Software(std::size_t size) const
    {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
        return bytes;
    }
    std::string WriteSoftware(const std::vector<std::uint8_t>& bytes) const
    {
        return WriteFile("hub.bin", std::string(bytes.begin(), bytes.end()));
    }
};

TEST_F(FlashCommandTest, FlashesTheFileAndPrintsEachPercentOnce)
{
    const std::vector<std::uint8_t> software = Software(5000);
    const Result result =
        Run({"flash", "--port", Device(), "--download-baud", "115200", WriteSoftware(software)});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(
        result.ErrorLines(),
        (Lines{"Ready to flash hub.bin", kStatusConnectingToUnit, kStatusInitializingFlash,
               kStatusLocatingTarget, kStatusLoadingSoftware, "Flash in progress, 20 % complete",
               "Flash in progress, 40 % complete", "Flash in progress, 61 % complete",
               "Flash in progress, 81 % complete", "Flash in progress, 100 % complete",
               kStatusRebooting, kStatusFlashCompleted}));
    const std::vector<std::uint8_t> memory = unit->FlashMemory();
    EXPECT_TRUE(std::equal(software.begin(), software.end(), memory.begin()));
    EXPECT_EQ(unit->BaudRate(), 57600);  // rebooted into its usual rate
}

TEST_F(FlashCommandTest, CtrlCStopsTheDownloadAndStillRebootsTheUnit)
{
    // Paced, the download lasts long enough to be interrupted in its middle.
    SimOptions paced;
    paced.pace = true;
    StartUnit(DefaultConfig(), paced);
    CProgramRun run(folder.Path(),
                    {"flash", "--port", Device(), WriteSoftware(Software(128 * 1024))});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (run.ErrorSoFar().find("Flash in progress") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    run.Signal(SIGINT);
    const Result result = run.Wait();

    EXPECT_EQ(result.status, 1);
    const Lines lines = result.ErrorLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], kStatusRebooting);
    EXPECT_EQ(lines[lines.size() - 2], "Error, flash failed:Download aborted at user request");
    EXPECT_EQ(lines.back(), "Error: Download aborted at user request");
    const SimLog log = unit->Log();
    EXPECT_EQ(log.reboots, 1);
    EXPECT_GT(log.dataFrames.size(), 0u);
    EXPECT_LT(log.dataFrames.size(), 128u);
}

}  // namespace
