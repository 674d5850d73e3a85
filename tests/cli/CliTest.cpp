#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "config/ConfigImage.h"
#include "tests/cli/RunProgram.h"

namespace {

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/weirlink-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const char* name) const { return dir_ + "/" + name; }

    // Runs the built program; stdout goes to stdoutPath when one is given.
    Result Run(const std::vector<std::string>& args, const std::string& stdoutPath = {}) const
    {
        return RunProgram(dir_, args, stdoutPath);
    }

    std::string WriteImage(const char* name, const UnitConfig& config) const
    {
        std::ostringstream image;
        WriteConfigImage(config, image);
        std::ofstream(Path(name), std::ios::binary) << image.str();
        return Path(name);
    }

    std::string dir_;
};

}  // namespace

TEST_F(CliTest, DefaultsWritesTheFactoryImage)
{
    const Result result = Run({"defaults", Path("factory.cfg")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");

    UnitConfig defaults;
    SetDefaults(defaults);
    std::ostringstream expected;
    WriteConfigImage(defaults, expected);
    EXPECT_EQ(ReadFile(Path("factory.cfg")), expected.str());
}

TEST_F(CliTest, ShowGroupsTheSettingsAsThePagesInUtf8)
{
    UnitConfig config;
    SetDefaults(config);
    AlarmRule& rule = config.alarmRule[1];
    rule.enabled = 1;
    rule.dataType1 = 16;  // main depth, 50 inches
    rule.compare1 = 1;
    rule.threshold1 = 1270;
    rule.combine = 7;
    rule.instrument2 = 1;
    rule.dataType2 = 1;  // Q Main, 3.5 MGD
    rule.compare2 = 2;
    rule.threshold2 = 153344;
    rule.latching = 1;
    // Latin-1 e-acute, then an escape and a C1 control that must not reach the terminal.
    std::strcpy(config.siteName, "Nord\xE9\x1B\x9B");
    const Result result = Run({"show", WriteImage("unit.cfg", config)});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");

    const std::string& out = result.out;
    EXPECT_EQ(out.rfind("Site\n", 0), 0u) << out;
    std::size_t at = 0;
    for (const char* section : {"\nCommunication\n", "\nAlarms\n", "\nOutput\n", "\nSmoothing\n"}) {
        const std::size_t next = out.find(section);
        EXPECT_NE(next, std::string::npos) << section;
        EXPECT_GT(next, at) << section << " out of order";
        at = next;
    }
    for (const char* line : {
             "  Site Name:            Nord\xC3\xA9??\n",
             "  Temperature Units:    Degrees Farenheit (\xC2\xB0"
             "F)\n",
             "  #1: (not used)\n",
             "  #2: Instrument 1 Main Depth > 50.0 In and Instrument 2 Q Main < 3.50 MGD "
             "(Latching)\n",
             "  Channel 1:               on, Ins 1, Smoothed Flow, 4mA: 0.000 MGD, 20mA: 100 MGD\n",
             "  Channel 4:               on, Ins 1, Sensor Temperature, 4mA: 32.0 \xC2\xB0"
             "F, "
             "20mA: 100 \xC2\xB0"
             "F\n",
             "  Configuration Port:    57600 baud, 8 data bits, parity None\n",
             "  Depth Don't smooth changes over:     120 In\n",
             "  Flow TCF:                            1.00\n",
         }) {
        EXPECT_NE(out.find(line), std::string::npos) << "missing: " << line << "\nin:\n" << out;
    }
}

TEST_F(CliTest, CommandsPrintsOneLinePerCommand)
{
    UnitConfig config;
    SetDefaults(config);
    const Result result = Run({"commands", WriteImage("unit.cfg", config)});
    ASSERT_EQ(result.status, 0) << result.err;
    std::istringstream lines(result.out);
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);) all.push_back(line);
    ASSERT_EQ(all.size(), 48u);
    EXPECT_EQ(all.front(), "IP 192 168 1 10");
    EXPECT_EQ(all[20], "AR 1 1 6 0 4381264");
    EXPECT_EQ(all.back(), "SS");
}

TEST_F(CliTest, FailuresEndWithAnErrorLineAndStatusOne)
{
    UnitConfig config;
    SetDefaults(config);
    std::string image;
    {
        std::ostringstream out;
        WriteConfigImage(config, out);
        image = out.str();
    }
    image[300] ^= 0x04;
    std::ofstream(Path("damaged.cfg"), std::ios::binary) << image;

    struct Case {
        std::vector<std::string> args;
        std::string lastLine;
    };
    const Case cases[] = {
        {{"show", Path("damaged.cfg")}, "Error: Validity check (CRC) failed, may be corrupt"},
        {{"commands", Path("damaged.cfg")}, "Error: Validity check (CRC) failed, may be corrupt"},
        {{"show", Path("missing.cfg")},
         "Error: Error, could not open the file for writing.  Check file is not write "
         "protected or in use! (" +
             Path("missing.cfg") + ": No such file or directory)"},
        {{"defaults", "/dev/full"},
         "Error: Error, could not write the file. (/dev/full: No space left on device)"},
    };
    for (const Case& c : cases) {
        const Result result = Run(c.args);
        EXPECT_EQ(result.status, 1) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.LastErrorLine(), c.lastLine);
    }

    const Result full = Run({"show", WriteImage("unit.cfg", config)}, "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.LastErrorLine(), "Error: Could not write the output. (No space left on device)");
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndHelpAndVersionWithZero)
{
    const std::vector<std::vector<std::string>> usageErrors = {
        {},
        {"frobnicate"},
        {"show"},
        {"show", "a.cfg", "b.cfg"},
        {"--no-such-option"},
        {"commands", "--verbose", "a.cfg"},
    };
    for (const auto& args : usageErrors) {
        const Result result = Run(args);
        EXPECT_EQ(result.status, 2) << (args.empty() ? "(nothing)" : args[0]) << "\n" << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err, "");
    }

    const Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "1.03\n");

    const Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* subcommand : {"defaults", "show", "commands"})
        EXPECT_NE(help.out.find(subcommand), std::string::npos) << subcommand;
}
