// read, send, flash, test-output and ports: the desktop program's device operations from a
// shell, with the same status texts, one per line on stderr, and the protocol's real waits.
// diff lives here too, since one of the two configurations it compares may be a unit's.
#include <CLI/CLI.hpp>
#include <atomic>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/JsonOutput.h"
#include "cli/LineTrace.h"
#include "cli/ParallelRun.h"
#include "cli/ShowConfig.h"
#include "cli/StatusPrinter.h"
#include "comm/PortNames.h"
#include "config/ConfigFile.h"
#include "config/NumberText.h"
#include "config/SerialSettings.h"
#include "config/SettingList.h"
#include "device/ConfigTransfer.h"
#include "device/FlashRun.h"
#include "device/OutputTest.h"

namespace {

constexpr int kDefaultBaudRate = kBaudRates[kDefaultBaudIndex];
constexpr int kOutputChannels = static_cast<int>(std::size(UnitConfig{}.analogChannel));

// Where and how the unit is reached, as the command line gave it.
struct LineOptions {
    std::string port;
    int baudRate = kDefaultBaudRate;
    bool trace = false;
};

// The same for commands that serve several units at once, one per port.
struct UnitsOptions : LineOptions {
    std::vector<std::string> ports;

    // The one port of LineOptions, once there is exactly one.
    const LineOptions& One()
    {
        port = ports.front();
        return *this;
    }
};

constexpr char kPortHelp[] =
    "the unit's serial port: COMn, or a device path such as an adapter's /dev/serial/by-id "
    "link";
constexpr char kTraceHelp[] = "print every byte on the line to stderr";

void AddPortOptions(CLI::App* sub, LineOptions& line)
{
    sub->add_option("-p,--port", line.port, kPortHelp)->envname(kPortVariable)->required();
    sub->add_flag("--trace", line.trace, kTraceHelp);
}

void AddPortsOptions(CLI::App* sub, UnitsOptions& units)
{
    sub->add_option("-p,--port", units.ports,
                    std::string(kPortHelp) + "; give it once per unit to serve several at once")
        ->envname(kPortVariable)
        ->required()
        // One port per --port: "-p COM1 unit.cfg" must leave the file to FILE.cfg.
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    sub->add_flag("--trace", units.trace, std::string(kTraceHelp) + " (one port only)");
}

CLI::Option* AddBaudOption(CLI::App* sub, const char* name, int& rate, const char* help)
{
    return sub->add_option(name, rate, help)
        ->check(CLI::IsMember(kBaudRates))
        ->capture_default_str();
}

// What every device command sets up: its status lines and, when asked for, the trace.
class CConsole {
public:
    explicit CConsole(bool withTrace)
    {
        // One unit's statuses go straight out, as they happen: a buffer in between measured
        // no faster (bench_send) and would lose the last of them when Ctrl+C ends a send.
        if (withTrace) trace.emplace(stderr);
        printer.emplace(stderr, IsTerminal(stderr), trace ? &*trace : nullptr);
    }

    SerialTrace Trace() { return trace ? trace->Function() : SerialTrace(); }
    CStatusPrinter& Status() { return *printer; }

    int Fail(const std::string& errorText)
    {
        printer->Finish();
        if (trace) trace->Flush();
        return ReportFailure(errorText);
    }

private:
    std::optional<CLineTrace> trace;
    std::optional<CStatusPrinter> printer;  // last: it writes through the trace
};

UnitConnection Connection(const LineOptions& line, CConsole& console)
{
    UnitConnection connection;
    connection.port = line.port;
    connection.baudRate = line.baudRate;
    connection.trace = console.Trace();
    return connection;
}

int Read(const LineOptions& line, const std::string& outputPath)
{
    CConsole console(line.trace);
    UnitConfig config{};
    std::string errorText;
    if (!ReadConfiguration(Connection(line, console), config, console.Status(), errorText))
        return console.Fail(errorText);
    // Only an image that passed every check gets here; a failure above leaves the file alone.
    if (!SaveConfigFile(config, outputPath, errorText)) return console.Fail(errorText);
    return ExitSuccess;
}

// diff(1)'s statuses, which scripts already know how to read.
enum DiffStatus : int {
    DiffEqual = 0,
    DiffDifferent = 1,
    DiffTrouble = 2,  // a usage error, an unreadable file, a failed read
};

// The second configuration is a file, or the unit on line.port when that is given.
int Diff(const std::string& firstPath, const std::string& secondPath, const LineOptions& line,
         bool json)
{
    if (secondPath.empty() == line.port.empty()) {
        (void)ReportFailure("diff compares A.cfg with B.cfg or with the unit on --port: give one");
        return DiffTrouble;
    }
    UnitConfig first{};
    UnitConfig second{};
    std::string errorText;
    // A file that cannot be read ends the comparison before the unit is disturbed.
    if (!LoadConfigFile(first, firstPath, errorText)) {
        (void)ReportFailure(errorText);
        return DiffTrouble;
    }
    if (line.port.empty()) {
        if (!LoadConfigFile(second, secondPath, errorText)) {
            (void)ReportFailure(errorText);
            return DiffTrouble;
        }
    } else {
        CConsole console(line.trace);
        if (!ReadConfiguration(Connection(line, console), second, console.Status(), errorText)) {
            (void)console.Fail(errorText);
            return DiffTrouble;
        }
        console.Status().Finish();
    }
    const std::vector<SettingChange> changes = CompareSettings(first, second);
    if (PrintOutput(json ? ChangesJson(changes) : ChangeLines(changes)) != ExitSuccess)
        return DiffTrouble;
    return changes.empty() ? DiffEqual : DiffDifferent;
}

// Prints what an operation tells, and stops it once Ctrl+C or one of the other stop signals
// came (see CSignalsStopFlash).
class CStoppableStatus final : public COperationObserver {
public:
    explicit CStoppableStatus(CStatusPrinter& printer) : printer(printer) {}

    void ShowStatus(const std::string& text) override { printer.ShowStatus(text); }
    void ShowProgress(std::size_t current, std::size_t maximum) override
    {
        printer.ShowProgress(current, maximum);
    }
    bool StopRequested() const override { return stop; }

private:
    CStatusPrinter& printer;
    std::atomic<bool> stop{false};
    // After the flag it sets, and gone before it.
    CSignalsStopFlash signals{stop};
};

// The operation on the one unit as ever, or on several at once. stoppable: a stop signal
// ends the operation rather than the program (a flash must still reboot the unit); with
// several units it always does.
int RunOnUnits(UnitsOptions& units, const UnitOperation& operation, bool stoppable)
{
    if (units.ports.size() == 1) {
        const LineOptions& line = units.One();
        CConsole console(line.trace);
        std::string errorText;
        std::string output;
        bool ok = false;
        if (stoppable) {
            CStoppableStatus status(console.Status());
            ok = operation(Connection(line, console), status, errorText, output);
        } else {
            ok = operation(Connection(line, console), console.Status(), errorText, output);
        }
        console.Status().Finish();
        if (!output.empty() && PrintOutput(output) != ExitSuccess) return ExitFailure;
        return ok ? ExitSuccess : console.Fail(errorText);
    }
    // The bytes of several units would run into each other.
    if (units.trace) {
        (void)ReportFailure("--trace follows one unit: give one --port with it");
        return ExitUsage;
    }
    if (const std::string conflict = PortsInConflict(units.ports); !conflict.empty()) {
        (void)ReportFailure(conflict);
        return ExitUsage;
    }
    UnitConnection connection;
    connection.baudRate = units.baudRate;
    return RunOnEveryPort(units.ports, connection, operation);
}

int Send(UnitsOptions& units, const SendOptions& options, bool verify, const std::string& path)
{
    // A file the reader rejects never reaches a unit, nor even opens a port.
    UnitConfig config{};
    std::string errorText;
    if (!LoadConfigFile(config, path, errorText)) return ReportFailure(errorText);

    return RunOnUnits(
        units,
        [&](const UnitConnection& connection, COperationObserver& observer, std::string& failure,
            std::string& output) {
            if (!SendConfiguration(connection, config, options, observer, failure)) return false;
            if (!verify) return true;
            std::vector<SettingChange> changes;
            const bool same = VerifyConfiguration(connection, config, observer, changes, failure);
            output = ChangeLines(changes);
            return same;
        },
        false);
}

int TestOutputCommand(UnitsOptions& units, int channel, double milliamperes)
{
    return RunOnUnits(
        units,
        [&](const UnitConnection& connection, COperationObserver& observer, std::string& errorText,
            std::string&) {
            if (!TestOutput(connection, channel, milliamperes, observer, errorText)) return false;
            // The dialog goes back to "Ready" after a test, and so does the status here.
            observer.ShowStatus(kStatusReady);
            return true;
        },
        false);
}

int Flash(UnitsOptions& units, const FlashOptions& options)
{
    return RunOnUnits(
        units,
        [&](const UnitConnection& connection, COperationObserver& observer, std::string& errorText,
            std::string&) {
            observer.ShowStatus(kStatusReadyToFlashPrefix +
                                SoftwareDisplayName(options.softwarePath));
            return FlashSoftware(connection, options, observer, errorText);
        },
        true);
}

// A simulated unit's label says what it is, its terminal is worth knowing too; an adapter's
// by-id link is the name that stays when other adapters come and go.
int ListPorts(bool json)
{
    const std::vector<SerialPortEntry> ports = ScanSerialPorts();
    // An empty list is an answer too: a script reads it rather than a message.
    if (json) return PrintOutput(PortsJson(ports));
    if (ports.empty()) {
        std::fputs("No serial port was detected.\n", stderr);
        return ExitSuccess;
    }
    std::string text;
    for (const SerialPortEntry& port : ports) {
        text += port.label;
        if (port.simulated) text += "  " + port.device;
        if (!port.byId.empty()) text += "  " + port.byId;
        text += '\n';
    }
    return PrintOutput(text);
}

}  // namespace

void AddDeviceCommands(CLI::App& app, SubcommandList& subcommands)
{
    {
        auto line = std::make_shared<LineOptions>();
        auto output = std::make_shared<std::string>();
        CLI::App* sub = app.add_subcommand("read", "Read the unit's configuration into a file");
        AddPortOptions(sub, *line);
        AddBaudOption(sub, "-b,--baud", line->baudRate, "the rate the unit's port is set to");
        sub->add_option("OUTPUT.cfg", *output,
                        "the file to write; written only when the whole configuration "
                        "arrived intact")
            ->required();
        subcommands.push_back({sub, [line, output] { return Read(*line, *output); }});
    }
    {
        auto line = std::make_shared<UnitsOptions>();
        auto options = std::make_shared<SendOptions>();
        auto verify = std::make_shared<bool>(false);
        auto path = std::make_shared<std::string>();
        CLI::App* sub = app.add_subcommand(
            "send",
            "Program the unit (or each unit, with several --port) with a configuration "
            "file");
        AddPortsOptions(sub, *line);
        AddBaudOption(sub, "-b,--baud", line->baudRate, "the rate the unit's port is set to");
        sub->add_flag("--sync-time", options->synchronizeTime,
                      "set the unit's clock to this computer's local time");
        sub->add_flag("--zero-totalizer", options->zeroTotalizer, "zero the unit's totalizers");
        sub->add_flag("--verify", *verify,
                      "then read the configuration back at the newly stored rate and list the "
                      "settings that differ from the file, as diff does; they fail the send");
        sub->add_option("FILE.cfg", *path, "the configuration file")->required();
        subcommands.push_back(
            {sub, [line, options, verify, path] { return Send(*line, *options, *verify, *path); }});
    }
    {
        auto line = std::make_shared<UnitsOptions>();
        auto options = std::make_shared<FlashOptions>();
        CLI::App* sub = app.add_subcommand(
            "flash",
            "Load new unit software through the unit's bootloader (Ctrl+C stops it, "
            "and a unit in its bootloader is rebooted)");
        AddPortsOptions(sub, *line);
        AddBaudOption(sub, "--connect-baud", line->baudRate, "the rate the unit's port is set to");
        AddBaudOption(sub, "--download-baud", options->downloadBaudRate,
                      "the rate of the download");
        sub->add_option("FILE.bin", options->softwarePath, "the software file")->required();
        subcommands.push_back({sub, [line, options] { return Flash(*line, *options); }});
    }
    {
        auto line = std::make_shared<UnitsOptions>();
        auto channel = std::make_shared<int>(1);
        auto current = std::make_shared<double>(kMinTestCurrent);
        CLI::App* sub = app.add_subcommand(
            "test-output", "Make the unit drive one analog output channel at a test current");
        AddPortsOptions(sub, *line);
        AddBaudOption(sub, "-b,--baud", line->baudRate, "the rate the unit's port is set to");
        sub->add_option("--channel", *channel, "the output channel, from 1")
            ->required()
            ->check(CLI::Range(1, kOutputChannels));
        // A plain decimal number only: a C library would also take "nan", "inf" and hex.
        const CLI::Validator testCurrent(
            [](std::string& text) {
                const std::optional<double> value = ParseDecimal(text);
                return value && IsTestCurrent(*value) ? std::string() : kTestCurrentText;
            },
            "4 to 20");
        sub->add_option("--current", *current, "the test current in mA, 4 to 20")
            ->required()
            ->check(testCurrent);
        subcommands.push_back({sub, [line, channel, current] {
                                   return TestOutputCommand(*line, *channel, *current);
                               }});
    }
    {
        auto line = std::make_shared<LineOptions>();
        auto first = std::make_shared<std::string>();
        auto second = std::make_shared<std::string>();
        auto json = std::make_shared<bool>(false);
        CLI::App* sub = app.add_subcommand(
            "diff",
            "List the settings two configurations program differently, a file's and another "
            "file's or a unit's; exit status 0 when equal, 1 when different, 2 on trouble");
        sub->add_option("A.cfg", *first, "the first file; values are shown in its units")
            ->required();
        sub->add_option("B.cfg", *second, "the second file, unless --port gives a unit");
        // Not bound to WEIRLINK_PORT, unlike the other commands' ports: a variable left set
        // in the shell would turn a comparison of two files into a read of a unit.
        sub->add_option("-p,--port", line->port,
                        "compare with the configuration of the unit on this serial port: COMn, "
                        "or a device path such as an adapter's /dev/serial/by-id link; "
                        "WEIRLINK_PORT does not apply");
        AddBaudOption(sub, "-b,--baud", line->baudRate, "the rate the unit's port is set to");
        sub->add_flag("--trace", line->trace, kTraceHelp);
        sub->add_flag("--json", *json, "print the differences as JSON (schema in the README)");
        subcommands.push_back(
            {sub, [line, first, second, json] { return Diff(*first, *second, *line, *json); }});
    }
    CLI::App* ports =
        app.add_subcommand("ports",
                           "List the serial ports by COM number, with their devices, USB adapters' "
                           "names and /dev/serial/by-id links");
    auto json = std::make_shared<bool>(false);
    ports->add_flag("--json", *json, "print the ports as JSON (schema in the README)");
    subcommands.push_back({ports, [json] { return ListPorts(*json); }});
}
