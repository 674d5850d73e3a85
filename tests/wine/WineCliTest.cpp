// The Windows build of the weirlink program, run under Wine against the simulated unit,
// does what the Linux build does against the same unit: the same status lines, error texts
// and exit codes, and the same bytes in the unit and in the files. Each program gets a unit
// of its own, started alike; the Windows one reaches it as a COM port of the Wine prefix.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "config/ConfigImage.h"
#include "sim/WinePort.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty()) return;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
        text.replace(at, from.size(), to), at += to.size();
}

// What the unit saw, apart from the time it was given.
std::string Summary(const SimLog& log)
{
    std::ostringstream out;
    for (const std::string& line : log.lines)
        out << "line " << (line.starts_with("ST ") ? "ST <time>" : line) << "\n";
    for (const SimDataFrame& frame : log.dataFrames)
        out << "frame " << int(frame.type) << " " << frame.offset << " " << frame.length << " "
            << frame.acknowledged << "\n";
    out << "banners " << log.banners << ", pings " << log.pings << ", user block queries "
        << log.userBlockQueries << ", reboots " << log.reboots << ", bad frames " << log.badFrames
        << ", hardware " << log.hardwareApplies << ", saves " << log.saves << ", clock set "
        << !log.clock.empty() << ", zeroed " << log.zeroedTotalizers.size() << ", output tests "
        << log.outputTests.size();
    for (const auto& [channel, current] : log.outputTests) out << " " << channel << "@" << current;
    return out.str();
}

struct Outcome {
    int status = -1;
    std::string out, err;  // the port's name replaced by PORT, line ends as on Linux
    std::string unitLog;
    std::vector<std::uint8_t> flash;
    std::string written;  // the file the command wrote, if any
};

struct Case {
    const char* what;
    std::string args;  // PORT stands for the port, FILE for a scratch file, BIN for software
    SimFaults faults = {};
};

class WineCliTest : public SimulatedUnitTest {
protected:
    // Runs the program against a fresh unit with the faults.
    Outcome Run(bool windows, const Case& test)
    {
        StartUnit(DefaultConfig());
        unit->SetFaults(test.faults);
        const CWinePort comPort(Device());
        const std::string port = windows ? comPort.Name() : Device();
        EXPECT_FALSE(port.empty()) << "no COM port in " << WinePrefix();
        const std::string written = folder.Path() + "/unit.cfg";
        std::remove(written.c_str());
        std::string args = test.args;
        ReplaceAll(args, "PORT", port);
        ReplaceAll(args, "FILE", written);
        ReplaceAll(args, "BIN", software);
        const std::string program =
            windows ? std::string(WEIRLINK_WINE " " WEIRLINK_WINDOWS_PROGRAM) : WEIRLINK_PROGRAM;
        const std::string out = folder.Path() + "/out", err = folder.Path() + "/err";
        const int status =
            std::system((program + " " + args + " >" + out + " 2>" + err + " </dev/null").c_str());

        Outcome outcome;
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        outcome.out = ReadFile(out);
        outcome.err = ReadFile(err);
        for (std::string* text : {&outcome.out, &outcome.err}) {
            ReplaceAll(*text, "\r\n", "\n");
            ReplaceAll(*text, port, "PORT");
            ReplaceAll(*text, written, "FILE");
        }
        outcome.unitLog = Summary(unit->Log());
        outcome.flash = unit->FlashMemory();
        outcome.written = ReadFile(written);
        return outcome;
    }

    void ExpectAlike(const Case& test, int status)
    {
        const Outcome linux = Run(false, test);
        const Outcome windows = Run(true, test);
        EXPECT_EQ(linux.status, status) << test.what << "\n" << linux.err;
        EXPECT_EQ(windows.status, linux.status) << test.what;
        EXPECT_EQ(windows.err, linux.err) << test.what;
        EXPECT_EQ(windows.out, linux.out) << test.what;
        EXPECT_EQ(windows.unitLog, linux.unitLog) << test.what;
        EXPECT_TRUE(windows.flash == linux.flash) << test.what;
        EXPECT_EQ(windows.written, linux.written) << test.what;
    }

    void SetUp() override
    {
        SimulatedUnitTest::SetUp();
        software = folder.Path() + "/hub.bin";
        std::string bytes(3000, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
        std::ofstream(software, std::ios::binary) << bytes;
        UnitConfig config = DefaultConfig();
        config.instrumentType[2] = InstrumentMarten;
        site = folder.Path() + "/site.cfg";
        std::ofstream file(site, std::ios::binary);
        WriteConfigImage(config, file);
    }

    TempFolder folder;
    std::string software, site;
};

// Wine's server and services start with the first Windows program and outlive it, holding
// on to its output files: what they write there later (the server lists its objects when a
// unit's terminal hangs up under it) would end up in the texts compared here. They are
// started once, with their output elsewhere; a server that is already running for the
// prefix (scripts/cross-test.sh starts one) is kept, and one started here ends a minute
// after the last program.
class WineServer : public ::testing::Environment {
public:
    void SetUp() override
    {
        (void)std::system(WEIRLINK_WINESERVER " -p60 </dev/null >/dev/null 2>&1");
        (void)std::system(WEIRLINK_WINE " wineboot </dev/null >/dev/null 2>&1");
    }
};
[[maybe_unused]] ::testing::Environment* const wineServer =
    ::testing::AddGlobalTestEnvironment(new WineServer);

}  // namespace

TEST_F(WineCliTest, ReadsSendsFlashesAndTestsAnOutputAsOnLinux)
{
    const Case cases[] = {
        {"read", "read --port PORT FILE"},
        {"send", "send --port PORT --sync-time --zero-totalizer " + site},
        {"flash", "flash --port PORT --download-baud 115200 BIN"},
        {"test-output", "test-output --port PORT --channel 3 --current 19.75"},
        {"flash with a refused block", "flash --port PORT --download-baud 115200 BIN",
         With(&SimFaults::nakFrames, 1)}};
    for (const Case& test : cases) ExpectAlike(test, 0);
}

TEST_F(WineCliTest, FailuresOfCommandModeReadsAndFlashesEndAsOnLinux)
{
    const Case cases[] = {
        {"silent unit", "read --port PORT FILE", With(&SimFaults::silent, true)},
        {"no command mode", "test-output --port PORT --channel 1 --current 4",
         With(&SimFaults::bannerWithoutMarker, true)},
        {"refused line", "send --port PORT " + site,
         LineFaults("SN 0", SimLineFault::Kind::ErrorReply)},
        {"damaged image", "read --port PORT FILE",
         With(&SimFaults::image, SimImageFault::BadChecksum)},
        {"no image", "read --port PORT FILE", With(&SimFaults::image, SimImageFault::NoStartByte)},
        {"silent bootloader", "flash --port PORT BIN", With(&SimFaults::pingSilent, true)}};
    for (const Case& test : cases) ExpectAlike(test, 1);
}

// The system's reason follows the program's text, with what the technician can do where
// there is a usual remedy. (A port that another program holds is not shown here: Wine lets
// two programs open one serial device, where Windows' serial drivers refuse the second.)
TEST(WinePorts, MissingPortsAndFilesTellTheWindowsReason)
{
    const std::string err = ::testing::TempDir() + "/weirlink-wine-missing.err";
    const auto run = [&err](const std::string& args) {
        const int status = std::system(
            (WEIRLINK_WINE " " WEIRLINK_WINDOWS_PROGRAM " " + args + " 2>" + err).c_str());
        std::string text = ReadFile(err);
        ReplaceAll(text, "\r\n", "\n");
        std::remove(err.c_str());
        return std::pair(WEXITSTATUS(status), text);
    };
    const auto [portStatus, port] = run("read --port 'com 9999' x.cfg");
    EXPECT_EQ(portStatus, 1);
    EXPECT_TRUE(
        port.starts_with("Connecting...\nError: Failed to open serial port, check it is "
                         "not in use (COM9999: "))
        << port;
    EXPECT_TRUE(
        port.ends_with(" (this computer has no such port: the Device Manager lists the "
                       "COM ports under Ports))\n"))
        << port;

    const std::string missing = ::testing::TempDir() + "/no-such-software.bin";
    const auto [fileStatus, file] = run("flash --port COM9999 " + missing);
    EXPECT_EQ(fileStatus, 1);
    EXPECT_TRUE(file.ends_with("Error: Could not open the download file (" + missing + ": " +
                               "File not found.)\n") ||
                file.ends_with("Error: Could not open the download file (" + missing + ": " +
                               "The system cannot find the file specified.)\n"))
        << file;
}

// The ports come from the registry, by the system's own numbers and named by their drivers.
TEST(WinePorts, PortsListsTheRegistrysComPorts)
{
    const std::string reg = WEIRLINK_WINE " reg ";
    const std::string key = "'HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM' /v '\\Device\\WeirlinkTest' ";
    ASSERT_EQ(std::system((reg + "add " + key + "/d COM77 /f >/dev/null").c_str()), 0);
    FILE* out = ::popen(WEIRLINK_WINE " " WEIRLINK_WINDOWS_PROGRAM " ports", "r");
    std::string listed;
    char buffer[256];
    while (out != nullptr && std::fgets(buffer, sizeof buffer, out) != nullptr) listed += buffer;
    const int status = out != nullptr ? ::pclose(out) : -1;
    std::system((reg + "delete " + key + "/f >/dev/null").c_str());
    EXPECT_EQ(status, 0);
    EXPECT_NE(listed.find("COM 77 (\\Device\\WeirlinkTest)\r\n"), std::string::npos) << listed;
}
