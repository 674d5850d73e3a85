// weirlink: the desktop program's operations from a shell.
#include <CLI/CLI.hpp>

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "config/Version.h"

namespace {

int Run(int argc, char** argv)
{
    PrepareConsole();
    CLI::App app{"Configures a Weirlink data hub from the shell.", "weirlink"};
    app.set_version_flag("--version", kProgramVersion);
    // Options start with dashes everywhere; on Windows CLI11 would also take "/name" for one,
    // and a path like /tmp/unit.cfg with it.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);

    SubcommandList subcommands;
    AddFileCommands(app, subcommands);
    AddDeviceCommands(app, subcommands);

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
