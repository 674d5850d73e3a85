#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/JsonOutput.h"
#include "cli/ShowConfig.h"
#include "config/CommandList.h"
#include "config/ConfigFile.h"
#include "config/SettingList.h"
#include "config/UnitConfig.h"

namespace {

int WriteDefaults(const std::string& path)
{
    UnitConfig config;
    SetDefaults(config);
    std::string errorText;
    if (!SaveConfigFile(config, path, errorText)) return ReportFailure(errorText);
    return ExitSuccess;
}

int Show(const std::string& path, bool json)
{
    UnitConfig config;
    std::string errorText;
    if (!LoadConfigFile(config, path, errorText)) return ReportFailure(errorText);
    return PrintOutput(json ? SettingsJson(ListSettings(config)) : ShowConfig(config));
}

int PrintCommands(const std::string& path)
{
    UnitConfig config;
    std::string errorText;
    if (!LoadConfigFile(config, path, errorText)) return ReportFailure(errorText);
    std::vector<std::string> lines;
    BuildCommandList(config, lines);
    std::string text;
    for (const std::string& line : lines) text += Latin1ToUtf8(line) + "\n";
    return PrintOutput(text);
}

// One subcommand that takes a single file name.
void AddFileCommand(CLI::App& app, SubcommandList& subcommands, const char* name,
                    const char* description, const char* fileName, const char* fileHelp,
                    int (*action)(const std::string&))
{
    auto path = std::make_shared<std::string>();
    CLI::App* sub = app.add_subcommand(name, description);
    sub->add_option(fileName, *path, fileHelp)->required();
    subcommands.push_back({sub, [path, action] { return action(*path); }});
}

}  // namespace

void AddFileCommands(CLI::App& app, SubcommandList& subcommands)
{
    AddFileCommand(app, subcommands, "defaults", "Write the factory-default configuration",
                   "OUTPUT.cfg", "the file to write (replaced safely if it exists)", WriteDefaults);
    {
        auto path = std::make_shared<std::string>();
        auto json = std::make_shared<bool>(false);
        CLI::App* sub = app.add_subcommand("show",
                                           "Show every setting of a configuration file, grouped "
                                           "as the pages of the desktop program");
        sub->add_option("FILE.cfg", *path, "the configuration file")->required();
        sub->add_flag("--json", *json, "print the settings as JSON (schema in the README)");
        subcommands.push_back({sub, [path, json] { return Show(*path, *json); }});
    }
    AddFileCommand(app, subcommands, "commands",
                   "Print the lines a unit is programmed with, one per line", "FILE.cfg",
                   "the configuration file", PrintCommands);
}
