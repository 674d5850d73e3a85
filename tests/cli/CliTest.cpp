// The weirlink program as a technician's shell runs it, against a simulated unit on a
// pseudo-terminal with the protocol's real waits; and its trace and status lines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/Commands.h"
#include "cli/LineTrace.h"
#include "cli/StatusPrinter.h"
#include "config/CommandList.h"
#include "config/ConfigImage.h"
#include "config/Quantities.h"
#include "device/ConfigTransfer.h"
#include "device/FlashRun.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ImageOf(const UnitConfig& config)
{
    std::ostringstream image;
    WriteConfigImage(config, image);
    return image.str();
}

// The text written to a FILE*.
struct CCapture {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* file = ::open_memstream(&buffer, &size);
    ~CCapture() { std::fclose(file), std::free(buffer); }
    std::string Text() { return std::fflush(file), std::string(buffer, size); }
};

struct Result {
    int status;
    std::string out;
    std::string err;
    std::string LastErrorLine() const
    {
        const std::string text = err.ends_with('\n') ? err.substr(0, err.size() - 1) : err;
        return text.substr(text.rfind('\n') + 1);  // the whole text when it is one line
    }
};

class CliTest : public SimulatedUnitTest {
protected:
    std::string Path(const char* name) const { return folder.Path() + "/" + name; }
    std::string Write(const char* name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    // Runs the program with the arguments as a shell reads them, then what `after` adds,
    // with stdout and stderr in files.
    Result Run(const std::string& args, const std::string& after = {}) const
    {
        const std::string line = "{ " WEIRLINK_PROGRAM " " + args + after + "; } >";
        const int status = std::system((line + Path(".out") + " 2>" + Path(".err")).c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(Path(".out")),
                ReadFile(Path(".err"))};
    }

    TempFolder folder;
};

}  // namespace

TEST_F(CliTest, DefaultsShowAndCommandsPrintTheFile)
{
    const Result defaults = Run("defaults " + Path("factory.cfg"));
    EXPECT_EQ(defaults.status, 0) << defaults.err;
    EXPECT_EQ(defaults.out + defaults.err, "");
    EXPECT_EQ(ReadFile(Path("factory.cfg")), ImageOf(DefaultConfig()));

    const Result commands = Run("commands " + Path("factory.cfg"));
    std::vector<std::string> lines;
    BuildCommandList(DefaultConfig(), lines);
    std::string expected;
    for (const std::string& line : lines) expected += line + "\n";
    EXPECT_EQ(commands.status, 0);
    EXPECT_EQ(commands.out, expected);

    // Latin-1 in UTF-8; an escape and a C1 control must not reach the terminal.
    UnitConfig config = DefaultConfig();
    config.alarmRule[1] = AlarmRule{1, 0, 1, 16, 1, 1, 2, 1270, 153344, 7, 1};
    std::strcpy(config.siteName, "Nord\xE9\x1B\x9B");
    const Result show = Run("show " + Write("unit.cfg", ImageOf(config)));
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(show.err, "");
    std::size_t at = 0;
    // clang-format off
    const char* shown[] = {
        "Site\n", "  Site Name:            Nord\xC3\xA9??\n",
        "  Temperature Units:    Degrees Farenheit (\xC2\xB0" "F)\n",
        "\nCommunication\n", "\nAlarms\n", "  #1: (not used)\n",
        "  #2: Instrument 1 Main Depth > 50.0 In and Instrument 2 Q Main < 3.50 MGD (Latching)\n",
        "\nOutput\n", "\nSmoothing\n", "  Depth Don't smooth changes over:     120 In\n"};
    // clang-format on
    for (const char* line : shown) {
        const std::size_t next = show.out.find(line, at);
        EXPECT_NE(next, std::string::npos) << "missing or out of order: " << line << show.out;
        at = next == std::string::npos ? at : next;
    }
}

// A file the reader rejects never reaches the unit; a failed read keeps the earlier file;
// output that cannot be written is a failure too.
TEST_F(CliTest, FailuresEndWithTheErrorLineAndStatusOne)
{
    Run("defaults " + Path("factory.cfg"));
    std::string damaged = ReadFile(Path("factory.cfg"));
    damaged[300] ^= 0x04;
    Write("damaged.cfg", damaged);
    const std::string kept = Write("kept.cfg", "the technician's earlier file");
    SimFaults faults;
    faults.image = SimImageFault::BadChecksum;
    unit->SetFaults(faults);
    const std::string crc = "Error: Validity check (CRC) failed, may be corrupt";
    const std::string port = " --port " + Device() + " ";
    // clang-format off
    const std::string noFile = ": No such file or directory)";
    // Pipes named like the files: refused without waiting for a writer that never comes.
    const std::string pipe = Path("pipe.cfg"), binPipe = Path("pipe.bin");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(binPipe.c_str(), 0600), 0);
    const std::string noRegular = ": not a regular file)";
    const std::pair<std::string, std::string> cases[] = {
        {"show " + Path("damaged.cfg"), crc}, {"commands " + Path("damaged.cfg"), crc},
        {"send" + port + Path("damaged.cfg"), crc}, {"read" + port + kept, crc},
        {"show " + Path("missing.cfg"), "Error: could not open the file for writing.  "
         "Check file is not write protected or in use! (" + Path("missing.cfg") + noFile},
        {"defaults /dev/full",
         "Error: could not write the file. (/dev/full: No space left on device)"},
        {"flash" + port + Path("missing.bin"),
         "Error: Could not open the download file (" + Path("missing.bin") + noFile},
        {"show " + pipe, "Error: could not open the file for writing.  "
         "Check file is not write protected or in use! (" + pipe + noRegular},
        {"flash" + port + binPipe, "Error: Could not open the download file (" + binPipe + noRegular},
        {"show " + Path("factory.cfg") + " >/dev/full",
         "Error: Could not write the output. (No space left on device)"}};
    // clang-format on
    for (const auto& [args, lastLine] : cases) {
        const Result result = Run(args);
        EXPECT_EQ(result.status, 1) << args;
        EXPECT_EQ(result.out, "") << args;
        EXPECT_EQ(result.LastErrorLine(), lastLine);
    }
    EXPECT_EQ(unit->Log().banners, 1);  // the read's only
    EXPECT_EQ(ReadFile(kept), "the technician's earlier file");
}

TEST_F(CliTest, UsageErrorsExitWithTwoHelpAndVersionWithZero)
{
    const std::string port = " --port " + Device() + " ";
    const std::string output = "test-output" + port;
    // clang-format off
    const std::string usageErrors[] = {
        "", "frobnicate", "show", "show a.cfg b.cfg", "--no-such-option", "read x.cfg",
        "commands --verbose a.cfg", "read" + port + "--baud 300 x.cfg",
        "flash" + port + "--download-baud 300 x.bin",
        output + "--channel 1 --current 3.9", output + "--channel 1 --current 20.5",
        output + "--channel 5 --current 12", output + "--current 12",
        // Not plain decimal numbers, though a C library reads them: 0x10 would be 16 mA.
        output + "--channel 1 --current nan", output + "--channel 1 --current inf",
        output + "--channel 1 --current -infinity", output + "--channel 1 --current 0x10",
        output + "--channel 1 --current 1e999", output + "--channel 1 --current 12abc"};
    // clang-format on
    for (const std::string& args : usageErrors) {
        const Result result = Run(args);
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_EQ(result.out, "") << args;
        EXPECT_NE(result.err, "") << args;
    }
    EXPECT_EQ(unit->Log().banners, 0);
    EXPECT_EQ(Run("--version").out, "weirlink 1.03\n");
    const Result help = Run("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"defaults", "show", "commands", "read", "send", "flash", "ports",
                                "\nExamples:\n", "\nExit status:\n", "WEIRLINK_PORT"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;

    // A mistyped subcommand is named, with the nearest one where one is near; options before
    // it change nothing.
    const std::pair<const char*, const char*> mistyped[] = {
        {"reed x.cfg", "unknown command \"reed\"; did you mean \"read\"?"},
        {"--trace ports-list", "unknown command \"ports-list\""},
        {"testoutput", "unknown command \"testoutput\"; did you mean \"test-output\"?"},
        {"frobnicate", "unknown command \"frobnicate\""}};
    for (const auto& [args, firstLine] : mistyped) {
        const Result result = Run(args);
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_EQ(result.err.substr(0, result.err.find('\n')), firstLine) << result.err;
    }
}

// The port from -p, from --port, or from WEIRLINK_PORT when neither is given; any link to
// the device, such as an adapter's by-id link, reaches it too.
TEST_F(CliTest, ThePortByShortOptionLinkOrEnvironment)
{
    const std::string link = Path("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    std::filesystem::create_symlink(Device(), link);
    const std::string test = "test-output --channel 1 --current 12";
    EXPECT_EQ(Run("test-output -p " + link + " -b 57600 --channel 1 --current 12").status, 0);
    ::setenv(kPortVariable, Device().c_str(), 1);
    EXPECT_EQ(Run(test).status, 0);
    ::setenv(kPortVariable, Path("gone").c_str(), 1);
    const Result fromVariable = Run(test);
    EXPECT_EQ(Run(test + " --port " + Device()).status, 0);  // the command line wins
    ::unsetenv(kPortVariable);
    EXPECT_EQ(Run(test).status, 2);
    EXPECT_EQ(fromVariable.status, 1);
    EXPECT_NE(fromVariable.LastErrorLine().find(Path("gone") + ": No such file or directory"),
              std::string::npos)
        << fromVariable.err;
    EXPECT_EQ(unit->Log().outputTests.size(), 3u);
    EXPECT_EQ(Run("read -b 300 -p " + Device() + " x.cfg").status, 2);
}

TEST_F(CliTest, SendSetsTheClockZeroesTotalizersAndReadsBackTheSameFile)
{
    UnitConfig config = DefaultConfig();
    config.instrumentType[2] = InstrumentMarten;
    const std::string file = Write("site.cfg", ImageOf(config));
    const Result sent = Run("send --port " + Device() + " --sync-time --zero-totalizer " + file);
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(sent.LastErrorLine(), kStatusProgrammed);
    EXPECT_EQ(unit->Log().zeroedTotalizers, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(unit->Log().clock.empty());

    const Result read = Run("read --port " + Device() + " --baud 57600 " + Path("back.cfg"));
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(ReadFile(Path("back.cfg")), ReadFile(file));
}

// The unit announced as COM 1 answers by that name; its output test is traced byte by byte
// and by direction: the wake-up byte, the unit's banner, the command.
TEST_F(CliTest, PortsListsAnAnnouncedUnitWhichTakesAnOutputTestAsComOne)
{
    TempRuntimeFolder runtime;
    ASSERT_FALSE(unit->Announce().empty());
    const Result listed = Run("ports");
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(listed.out.starts_with("COM 1 (simulated unit)  " + Device() + "\n")) << listed.out;

    const Result traced = Run("test-output --trace --port 'COM 1' --channel 2 --current 12.5");
    ASSERT_EQ(traced.status, 0) << traced.err;
    EXPECT_EQ(traced.LastErrorLine(), "Ready");
    EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>{{2, 1250}}));
    for (const char* line :
         {"Connecting...\n> 04 ", "\n< 0D 0A ", "\n> 58 4F 20 32 20 31 32 35 30 0A "})
        EXPECT_NE(traced.err.find(line), std::string::npos) << line << traced.err;
    unit->Unannounce();
}

// diff(1)'s exit statuses: 0 equal, 1 different, 2 trouble (with the Error: line last).
TEST_F(CliTest, DiffListsChangedSettingsInTheFirstFilesUnitsWithDiffsStatuses)
{
    const std::string factory = Write("factory.cfg", ImageOf(DefaultConfig()));
    UnitConfig config = DefaultConfig();
    std::strcpy(config.siteName, "Elsewhere");
    config.unitCode[KindFlow] = 18;                // cubic feet per second
    config.analogChannel[0].at20mA = 2 * 4381264;  // 200 MGD
    config.unitCode[KindTemperature] = 36;         // Celsius: the abbreviation has a degree sign
    const std::string site = Write("site.cfg", ImageOf(config));

    const Result same = Run("diff " + factory + " " + Write("copy.cfg", ImageOf(DefaultConfig())));
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out + same.err, "");

    const Result different = Run("diff " + factory + " " + site);
    EXPECT_EQ(different.status, 1) << different.err;
    EXPECT_EQ(different.err, "");
    EXPECT_EQ(different.out,
              "Site / Site Name: NewSite \u2192 Elsewhere\n"
              "Output / Channel 1 / 20mA: 100 MGD \u2192 200 MGD\n"
              "Site / Flow Units: MGD \u2192 Cubic feet per second (cfs)\n"
              "Site / Temperature Units: Degrees Farenheit (\u00B0F) \u2192 "
              "Degrees Celsius (\u00B0C)\n");

    for (const std::string& args : {"diff " + factory + " " + Path("missing.cfg"),
                                    "diff " + Write("short.cfg", "WL") + " " + factory,
                                    "diff " + factory, std::string("diff --json")}) {
        const Result trouble = Run(args);
        EXPECT_EQ(trouble.status, 2) << args;
        EXPECT_EQ(trouble.out, "") << args;
        EXPECT_NE(trouble.err, "") << args;
    }
    EXPECT_TRUE(
        Run("diff " + factory + " " + Path("missing.cfg")).LastErrorLine().starts_with("Error: "));

    // A file against a unit: the unit's values on the right, its read's status lines on
    // stderr; a unit that cannot be read is trouble.
    const Result unitSame = Run("diff " + factory + " --port " + Device());
    EXPECT_EQ(unitSame.status, 0) << unitSame.err;
    EXPECT_EQ(unitSame.out, "");
    EXPECT_EQ(unitSame.LastErrorLine(), kStatusLoaded);
    const Result unitDifferent = Run("diff " + site + " --port " + Device());
    EXPECT_EQ(unitDifferent.status, 1) << unitDifferent.err;
    EXPECT_TRUE(unitDifferent.out.starts_with("Site / Site Name: Elsewhere \u2192 NewSite\n"))
        << unitDifferent.out;
    for (const std::string& args : {"diff " + factory + " --port " + Path("no-such-port"),
                                    "diff " + factory + " " + site + " --port " + Device()}) {
        const Result trouble = Run(args);
        EXPECT_EQ(trouble.status, 2) << args;
        EXPECT_EQ(trouble.out, "") << args;
        EXPECT_TRUE(trouble.LastErrorLine().starts_with("Error: ")) << trouble.err;
    }
    // WEIRLINK_PORT stays out of diff: two files are still compared as files, and one file
    // alone is not read against the unit the variable names. -p and -b are diff's too.
    ::setenv(kPortVariable, Device().c_str(), 1);
    EXPECT_EQ(Run("diff " + factory + " " + site).status, 1);
    EXPECT_EQ(Run("diff " + factory).status, 2);
    ::unsetenv(kPortVariable);
    EXPECT_EQ(Run("diff " + factory + " -p " + Device() + " -b 57600").status, 0);
    EXPECT_EQ(unit->Log().banners, 3);  // the three reads; nothing else reached the unit
}

// What scripts read: the output parses as JSON and carries what the text shows.
TEST_F(CliTest, JsonOfShowDiffAndPortsParsesBackWithTheDocumentedFields)
{
    UnitConfig config = DefaultConfig();
    std::strcpy(config.siteName, "Nord\xE9");
    const std::string factory = Write("factory.cfg", ImageOf(DefaultConfig()));
    const std::string site = Write("site.cfg", ImageOf(config));

    const Result show = Run("show --json " + site);
    ASSERT_EQ(show.status, 0) << show.err;
    const nlohmann::json settings = nlohmann::json::parse(show.out)["settings"];
    ASSERT_FALSE(settings.empty());
    const auto find = [&](const char* page, const char* group, const char* name) {
        for (const nlohmann::json& setting : settings)
            if (setting["page"] == page && setting["group"] == group && setting["name"] == name)
                return setting;
        ADD_FAILURE() << page << " / " << group << " / " << name;
        return nlohmann::json::object();
    };
    EXPECT_EQ(find("Site", "", "Site Name")["value"], "Nord\u00E9");
    const nlohmann::json range = find("Output", "Channel 1", "20mA");
    EXPECT_EQ(range["value"], "100");
    EXPECT_EQ(range["unit"], "MGD");
    EXPECT_EQ(range["raw"], 4381264);
    EXPECT_EQ(range["sent"], true);
    EXPECT_EQ(find("Output", "", "Analog Channels in Unit")["sent"], false);

    const Result diff = Run("diff --json " + factory + " " + site);
    EXPECT_EQ(diff.status, 1) << diff.err;
    const nlohmann::json changes = nlohmann::json::parse(diff.out);
    EXPECT_EQ(changes["equal"], false);
    ASSERT_EQ(changes["differences"].size(), 1u) << diff.out;
    const nlohmann::json& change = changes["differences"][0];
    EXPECT_EQ(change["page"], "Site");
    EXPECT_EQ(change["name"], "Site Name");
    EXPECT_EQ(change["first"]["value"], "NewSite");
    EXPECT_EQ(change["second"]["raw"], "Nord\u00E9");
    EXPECT_EQ(nlohmann::json::parse(Run("diff --json " + factory + " " + factory).out)["equal"],
              true);

    TempRuntimeFolder runtime;
    ASSERT_FALSE(unit->Announce().empty());
    const Result ports = Run("ports --json");
    ASSERT_EQ(ports.status, 0) << ports.err;
    const nlohmann::json first = nlohmann::json::parse(ports.out)["ports"].at(0);
    EXPECT_EQ(first["com"], 1);
    EXPECT_EQ(first["device"], Device());
    EXPECT_EQ(first["description"], "COM 1 (simulated unit)");
    EXPECT_EQ(first["byId"], "");
    unit->Unannounce();
}

// Paced, the download lasts long enough to be interrupted in its middle; the shell waits
// for the status (30 s at most) before it sends the signal. Ctrl+C, a shutdown's SIGTERM and
// the SIGHUP of a closed terminal all stop the flash and reboot the unit, in the download
// or while the bootloader does not answer the ping.
TEST_F(CliTest, InterruptsStopTheFlashAndStillRebootTheUnit)
{
    const struct {
        const char* signal;
        const char* waitFor;
        bool pingSilent;
    } cases[] = {{"INT", "Flash in progress", false},
                 {"TERM", kStatusLocatingTarget, true},
                 {"HUP", "Flash in progress", false}};
    const std::string software = Write("hub.bin", std::string(128 * 1024, '\x5C'));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signal);
        SimOptions paced;
        paced.pace = true;
        StartUnit(DefaultConfig(), paced);
        unit->SetFaults(With(&SimFaults::pingSilent, c.pingSilent));
        const Result result =
            Run("flash --port " + Device() + " " + software,
                " & timeout 30 sh -c 'until grep -q \"" + std::string(c.waitFor) + "\" " +
                    Path(".err") + "; do sleep 0.02; done'; kill -" + c.signal + " $!; wait $!");
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(kStatusRebooting), std::string::npos) << result.err;
        EXPECT_EQ(result.LastErrorLine(), "Error: Download aborted at user request");
        const SimLog log = unit->Log();
        EXPECT_EQ(log.reboots, 1);
        EXPECT_EQ(log.dataFrames.empty(), c.pingSilent);
        EXPECT_LT(log.dataFrames.size(), 128u);
    }
}

// The trace: one line per burst and direction with the text aligned; bytes are received one
// at a time, as the port reads them, and the last burst is printed at the end.
// The status lines: on a terminal the bar is redrawn in place, only when it changes, and
// drawn with the position before the status's own. Elsewhere, or with a trace whose lines a
// bar would tear apart, each percentage is one line; statuses that repeat are not progress
// and each shows; a failed step's second line is left to the closing error line.
TEST(Console, TraceLinesStatusLinesAndTheProgressBar)
{
    CCapture out;
    {
        CLineTrace trace(out.file);
        const auto add = [&trace](TraceDirection direction, const std::string& bytes) {
            trace.Add(direction, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        };
        add(TraceDirection::Sent, "\x04");
        for (const char c : std::string("\r\n[ENTERED CONTROL MODE]\r\n>"))
            add(TraceDirection::Received, std::string(1, c));
        add(TraceDirection::Sent, "OK\n");
        std::this_thread::sleep_for(CLineTrace::kBurstGap * 2);
        add(TraceDirection::Sent, "PS\n");
    }
    EXPECT_EQ(out.Text(),
              "> 04                                               .\n"
              "< 0D 0A 5B 45 4E 54 45 52 45 44 20 43 4F 4E 54 52  ..[ENTERED CONTR\n"
              "< 4F 4C 20 4D 4F 44 45 5D 0D 0A 3E                 OL MODE]..>\n"
              "> 4F 4B 0A                                         OK.\n"
              "> 50 53 0A                                         PS.\n");

    CCapture terminal;
    CStatusPrinter bar(terminal.file, true);
    bar.ShowStatus("Loading the software file...");
    for (int i = 0; i < 3; ++i) {
        bar.ShowStatus("Flash in progress, 50 % complete");
        bar.ShowProgress(100, 200);
    }
    bar.ShowStatus("Rebooting the unit...");
    EXPECT_EQ(terminal.Text(), "Loading the software file...\n\r[" + std::string(40, ' ') +
                                   "] Flash in progress, 50 % complete\x1b[K\r[" +
                                   std::string(20, '#') + std::string(20, ' ') +
                                   "] Flash in progress, 50 % complete\x1b[K\n"
                                   "Rebooting the unit...\n");

    for (const bool withTrace : {false, true}) {
        CCapture out;
        CLineTrace trace(out.file);
        CStatusPrinter printer(out.file, withTrace, withTrace ? &trace : nullptr);
        for (const char* status :
             {"Flash in progress, 1 % complete", "Flash in progress, 1 % complete",
              "Flash in progress, 2 % complete", "Sending SZ", "Sending SZ",
              "Failed: Failed to open serial port\n/dev/ttyUSB0: busy"}) {
            printer.ShowStatus(status);
            printer.ShowProgress(1, 100);
        }
        EXPECT_EQ(out.Text(),
                  "Flash in progress, 1 % complete\nFlash in progress, 2 % complete\n"
                  "Sending SZ\nSending SZ\nFailed: Failed to open serial port\n");
    }
}
