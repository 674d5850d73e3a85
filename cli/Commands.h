// The weirlink subcommands. Each group adds its subcommands to the program's command line;
// after parsing, main runs the one that was chosen.
#pragma once

#include <functional>
#include <vector>

namespace CLI {
class App;
}

// The environment variable that gives --port when the command line does not.
inline constexpr char kPortVariable[] = "WEIRLINK_PORT";

struct CSubcommand {
    CLI::App* app;             // parsed() tells whether this one was chosen
    std::function<int()> run;  // returns the exit status (ExitStatus)
};
using SubcommandList = std::vector<CSubcommand>;

// defaults, show, commands: work on .cfg files, no unit needed.
void AddFileCommands(CLI::App& app, SubcommandList& subcommands);
// read, send, flash, test-output, ports: talk to a unit over a serial port; and diff, which
// may compare a file with a unit.
void AddDeviceCommands(CLI::App& app, SubcommandList& subcommands);
