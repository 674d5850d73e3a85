// weirlink: the desktop program's operations from a shell.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "config/Version.h"

namespace {

constexpr char kHelpFooter[] = R"(Examples:
  weirlink ports
  weirlink read -p COM1 unit.cfg
  weirlink send -p /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 unit.cfg
  WEIRLINK_PORT=/dev/ttyUSB0 weirlink test-output --channel 2 --current 12
  weirlink show unit.cfg
  weirlink diff unit.cfg -p COM1
  weirlink send --verify -p COM3 -p COM4 unit.cfg

Environment:
  WEIRLINK_PORT  the port of every subcommand that takes --port, unless --port is given;
                 not diff's, which reads a unit only when --port is written out

Exit status:
  0  success; with several --port, every unit succeeded
  1  the operation failed; the last line on standard error says why ("Error: ...");
     with several --port, "Error: <k> of <n> units failed" after a summary per port
  2  the command line was not understood
  diff: 0 equal, 1 different, 2 trouble (usage, an unreadable file, a failed read)
)";

// How many single letters must be added, removed or changed to turn one word into another.
std::size_t EditDistance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The subcommand is the first word that is not an option (the program's own options take no
// values). A word that names none gets the nearest name as a suggestion, where one is near.
bool ReportUnknownCommand(const CLI::App& app, int argc, char** argv)
{
    const auto word =
        std::find_if(argv + 1, argv + argc, [](const char* arg) { return arg[0] != '-'; });
    if (word == argv + argc) return false;
    std::string nearest;
    std::size_t nearestDistance = 3;  // at most two letters off
    for (const CLI::App* sub : app.get_subcommands({})) {
        if (sub->get_name() == *word) return false;
        const std::size_t distance = EditDistance(*word, sub->get_name());
        if (distance < nearestDistance) {
            nearest = sub->get_name();
            nearestDistance = distance;
        }
    }
    std::string text = "unknown command \"" + std::string(*word) + "\"";
    if (!nearest.empty()) text += "; did you mean \"" + nearest + "\"?";
    (void)std::fprintf(stderr, "%s\nRun with --help for more information.\n", text.c_str());
    return true;
}

int Run(int argc, char** argv)
{
    PrepareConsole();
    CLI::App app{"Configures a Weirlink data hub from the shell.", "weirlink"};
    app.set_version_flag("--version", std::string("weirlink ") + kProgramVersion);
    // Options start with dashes everywhere; on Windows CLI11 would also take "/name" for one,
    // and a path like /tmp/unit.cfg with it.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);

    SubcommandList subcommands;
    AddFileCommands(app, subcommands);
    AddDeviceCommands(app, subcommands);
    // After the subcommands, which would otherwise take it over into their own help.
    app.footer(kHelpFooter);

    if (ReportUnknownCommand(app, argc, argv)) return ExitUsage;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help and version end in success; every other parse error is a usage error,
        // whatever code CLI11 would pick for it.
        return app.exit(error) == 0 ? ExitSuccess : ExitUsage;
    }

    for (const CSubcommand& subcommand : subcommands)
        if (subcommand.app->parsed()) return subcommand.run();
    return ExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    // Operations report their failures as texts; this only catches what no operation can
    // foresee, such as running out of memory.
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        return ReportFailure(error.what());
    }
}
