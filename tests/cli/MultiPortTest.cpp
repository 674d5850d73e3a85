// Several units at once: every unit gets its own thread, its own status lines and its own
// verdict; what one unit does (refuse a line, keep silent, read back another value) changes
// nothing for the others. The real program against simulated units, with the real waits.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "config/ConfigImage.h"
#include "device/ConfigTransfer.h"
#include "device/FlashRun.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
    bool Has(const std::string& text) const { return err.find(text) != std::string::npos; }
    // The status lines of one port, without the port.
    std::string StatusesOf(const std::string& port) const
    {
        std::istringstream lines(err);
        std::string statuses;
        for (std::string line; std::getline(lines, line);)
            if (line.starts_with(port + ": ")) statuses += line.substr(port.size() + 2) + "\n";
        return statuses;
    }
    std::string LastLine() const
    {
        const std::string text = err.substr(0, err.size() - 1);
        return text.substr(text.rfind('\n') + 1);
    }
};

class MultiPortTest : public ::testing::Test {
protected:
    CSimUnit& AddUnit(const SimFaults& faults = {}, const SimOptions& options = {})
    {
        units.push_back(std::make_unique<CSimUnit>(DefaultConfig(), options));
        EXPECT_TRUE(units.back()->Start());
        units.back()->SetFaults(faults);
        return *units.back();
    }
    // "--port A --port B ..." for every unit started.
    std::string Ports() const
    {
        std::string ports;
        for (const auto& unit : units) ports += " --port " + unit->DevicePath();
        return ports;
    }
    std::string Path(const char* name) const { return folder.Path() + "/" + name; }
    std::string WriteConfig(const UnitConfig& config) const
    {
        std::ofstream file(Path("unit.cfg"), std::ios::binary);
        WriteConfigImage(config, file);
        return Path("unit.cfg");
    }
    // The program as a shell runs it, then what `after` adds (the shell's own commands).
    Outcome Weirlink(const std::string& args, const std::string& after = {}) const
    {
        const std::string line = "{ " WEIRLINK_PROGRAM " " + args + after + "; } >" + Path(".out") +
                                 " 2>" + Path(".err");
        const int status = std::system(line.c_str());
        const auto read = [](const std::string& path) {
            std::stringstream text;
            text << std::ifstream(path).rdbuf();
            return text.str();
        };
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read(Path(".out")),
                read(Path(".err"))};
    }

    TempFolder folder;
    std::vector<std::unique_ptr<CSimUnit>> units;
};

}  // namespace

// One unit refuses the site name's line and one keeps silent: the third is programmed all
// the same, and the summary tells each port's fate before the count of failures.
TEST_F(MultiPortTest, EveryUnitIsServedWhateverTheOthersDo)
{
    CSimUnit& good = AddUnit();
    AddUnit(With(&SimFaults::lineFaults, std::vector<SimLineFault>{{"SN 0", 0, -1}}));
    AddUnit(With(&SimFaults::silent, true));
    const std::string a = units[0]->DevicePath(), b = units[1]->DevicePath(),
                      c = units[2]->DevicePath();
    const Outcome run = Weirlink("send" + Ports() + " " + WriteConfig(DefaultConfig()));

    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(good.Log().saves, 1);
    EXPECT_EQ(good.Log().hardwareApplies, 1);
    std::string statuses = std::string(kStatusConnecting) + "\n";
    for (const std::string& line : BuildSendLines(DefaultConfig(), false))
        statuses += kStatusSendingPrefix + line.substr(0, 2) + "\n";
    statuses += std::string(kStatusApplying) + "\n" + kStatusProgrammed + "\n";
    EXPECT_EQ(run.StatusesOf(a), statuses);
    EXPECT_TRUE(run.StatusesOf(b).ends_with("Sending SN\nRetrying SN\n")) << run.err;
    // clang-format off
    EXPECT_TRUE(run.Has("Summary:\n"
                        "  " + a + ": ok\n"
                        "  " + b + ": The command \"SN 0 NewSite\" failed.\n"
                        "  " + c + ": Failed to enter command mode, check connection\n"
                        "Error: 2 of 3 units failed\n"))
        << run.err;
    // clang-format on
    EXPECT_EQ(run.out, "");
}

// --verify reads back at the rate the send stored for the configuration port, so a unit
// that moved to 115200 is read there; a unit that answers another site name than it took
// fails with the difference listed as diff lists it, alone or beside others.
TEST_F(MultiPortTest, VerifyReadsBackAtTheNewRateAndListsWhatDiffers)
{
    UnitConfig config = DefaultConfig();
    config.serialPort[PortConfiguration].baudRate = 115200;
    std::strcpy(config.siteName, "Batch7");
    const std::string file = WriteConfig(config);
    AddUnit();
    AddUnit(With(&SimFaults::alteredRecordByte, int(offsetof(UnitConfig, siteName))));
    const std::string a = units[0]->DevicePath(), b = units[1]->DevicePath();
    const std::string differs = "The unit's configuration differs from the file in 1 settings";

    const Outcome both = Weirlink("send --verify" + Ports() + " " + file);
    EXPECT_EQ(both.status, 1) << both.err;
    EXPECT_EQ(both.out, b + ": Site / Site Name: Batch7 \u2192 Catch7\n");
    EXPECT_TRUE(both.Has(a + ": Settings loaded successfully\n")) << both.err;
    EXPECT_TRUE(both.Has("  " + a + ": ok\n  " + b + ": " + differs + "\n")) << both.err;
    EXPECT_EQ(both.LastLine(), "Error: 1 of 2 units failed");

    // The units now talk at 115200.
    const Outcome one = Weirlink("send --verify -b 115200 --port " + b + " " + file);
    EXPECT_EQ(one.status, 1) << one.err;
    EXPECT_EQ(one.out, "Site / Site Name: Batch7 \u2192 Catch7\n");
    EXPECT_EQ(one.LastLine(), "Error: " + differs);
    const Outcome same = Weirlink("send --verify -b 115200 --port " + a + " " + file);
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "");
}

// Paced, the downloads last long enough to be interrupted while both run; the shell waits
// until both are under way. Every unit is rebooted out of its bootloader.
TEST_F(MultiPortTest, CtrlCStopsEveryFlashAndRebootsEveryUnit)
{
    SimOptions paced;
    paced.pace = true;
    AddUnit({}, paced);
    AddUnit({}, paced);
    const std::string a = units[0]->DevicePath(), b = units[1]->DevicePath();
    const std::string software = Path("hub.bin");
    std::ofstream(software, std::ios::binary) << std::string(128 * 1024, '\x5C');
    const auto waitFor = [this](const std::string& port) {
        return "until grep -q '" + port + ": Flash in progress' " + Path(".err") +
               "; do sleep 0.02; done; ";
    };
    const Outcome run =
        Weirlink("flash" + Ports() + " " + software,
                 " & timeout 30 sh -c \"" + waitFor(a) + waitFor(b) + "\"; kill -INT $!; wait $!");

    EXPECT_EQ(run.status, 1) << run.err;
    for (const auto& unit : units) {
        EXPECT_EQ(unit->Log().reboots, 1);
        EXPECT_LT(unit->Log().dataFrames.size(), 128u);
    }
    EXPECT_TRUE(run.Has("  " + a + ": Download aborted at user request\n  " + b +
                        ": Download aborted at user request\n"))
        << run.err;
    EXPECT_EQ(run.LastLine(), "Error: 2 of 2 units failed");
}

// Two units take the same output test; the same port under two names, or a trace of several
// units' bytes run together, are refused before any unit is touched.
TEST_F(MultiPortTest, OutputTestOnTwoUnitsAndWhatIsRefused)
{
    AddUnit();
    AddUnit();
    const Outcome run = Weirlink("test-output --channel 2 --current 12" + Ports());
    EXPECT_EQ(run.status, 0) << run.err;
    for (const auto& unit : units)
        EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>{{2, 1200}}));
    EXPECT_TRUE(run.Has("Summary:\n  " + units[0]->DevicePath() + ": ok\n")) << run.err;

    const std::string link = Path("unit-link");
    std::filesystem::create_symlink(units[0]->DevicePath(), link);
    const Outcome twice = Weirlink("test-output --channel 2 --current 12 -p " +
                                   units[0]->DevicePath() + " -p " + link);
    EXPECT_EQ(twice.status, 2);
    EXPECT_EQ(twice.LastLine(), "Error: --port " + units[0]->DevicePath() + " and --port " + link +
                                    " are the same port");
    const Outcome traced = Weirlink("test-output --channel 2 --current 12 --trace" + Ports());
    EXPECT_EQ(traced.status, 2);
    EXPECT_EQ(traced.LastLine(), "Error: --trace follows one unit: give one --port with it");
    for (const auto& unit : units) EXPECT_EQ(unit->Log().banners, 1);
}
