// Port numbering against a fake /dev and /sys/class/tty, with real pseudo-terminals standing
// in for running simulators.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "comm/PortNames.h"
#include "sim/Pty.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

namespace fs = std::filesystem;

class PortNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(root.empty());
        for (const std::string& dir : {roots.devDir, roots.sysTtyDir, roots.simDir})
            fs::create_directories(dir);
    }

    // A device node (a plain file will do: the scan never opens real devices) and its sysfs
    // entry: with hardware behind it, and with the port type the driver reports.
    void AddDevice(const std::string& name, bool hardware, std::optional<int> type = {})
    {
        std::ofstream(roots.devDir + "/" + name).put('\0');
        const std::string sys = roots.sysTtyDir + "/" + name;
        fs::create_directories(sys);
        if (hardware) fs::create_directories(sys + "/device");
        if (type) std::ofstream(sys + "/type") << *type << "\n";
    }

    // A link as a simulator leaves it, aged so that the order of announcing is clear.
    void Announce(const std::string& name, const std::string& target, int secondsAgo)
    {
        const std::string link = roots.simDir + "/" + name;
        fs::create_symlink(target, link);
        const timespec times[2] = {{::time(nullptr) - secondsAgo, 0},
                                   {::time(nullptr) - secondsAgo, 0}};
        ::utimensat(AT_FDCWD, link.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }

    std::string Pid() const { return std::to_string(::getpid()); }

    TempFolder scratch;
    const std::string root = scratch.Path();
    PortScanRoots roots{root + "/dev", root + "/sys/class/tty", root + "/sim"};
};

TEST_F(PortNamesTest, SimulatorsComeFirstThenRealDevicesByFamilyAndNumber)
{
    CPty older, newer, orphan;
    ASSERT_TRUE(older.Open(57600) && newer.Open(57600) && orphan.Open(57600));
    Announce(Pid() + ".2", newer.SlavePath(), 10);
    Announce(Pid() + ".1", older.SlavePath(), 20);
    Announce("2147483646", orphan.SlavePath(), 30);     // its simulator is gone
    Announce(Pid() + ".3", root + "/dev/vanished", 5);  // its terminal is gone
    std::ofstream(root + "/not-a-tty").put('x');
    Announce(Pid() + ".4", root + "/not-a-tty", 5);

    AddDevice("ttyS1", true, 0);  // the 8250 driver's placeholder without a UART
    AddDevice("ttyS0", true, 4);
    AddDevice("ttyS2", false);
    AddDevice("ttyUSB10", true);
    AddDevice("ttyUSB1", true);
    AddDevice("ttyUSB0", true);
    AddDevice("ttyACM0", true);
    AddDevice("ttyAMA0", true, 3);
    AddDevice("rfcomm0", false);  // Bluetooth ports are virtual devices
    AddDevice("tty0", false);
    AddDevice("ttySAC", true);  // no number: not a port
    AddDevice("console", false);

    const std::vector<SerialPortEntry> ports = ScanSerialPorts(roots);
    const std::string dev = roots.devDir + "/";
    const std::vector<std::string> expected = {
        older.SlavePath(), newer.SlavePath(), dev + "ttyUSB0", dev + "ttyUSB1", dev + "ttyUSB10",
        dev + "ttyACM0",   dev + "ttyS0",     dev + "ttyAMA0", dev + "rfcomm0",
    };
    ASSERT_EQ(ports.size(), expected.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].number, int(i) + 1);
        EXPECT_EQ(ports[i].device, expected[i]);
        EXPECT_EQ(ports[i].simulated, i < 2);
    }
    EXPECT_EQ(ports[0].label, "COM 1 (simulated unit)");
    EXPECT_EQ(ports[2].label, "COM 3 (" + dev + "ttyUSB0)");

    EXPECT_EQ(ResolvePortName("COM 3", roots), dev + "ttyUSB0");
    EXPECT_EQ(ResolvePortName("com1", roots), older.SlavePath());
    EXPECT_EQ(ResolvePortName("COM10", roots), "");
    EXPECT_EQ(ResolvePortName("/dev/ttyXYZ", roots), "/dev/ttyXYZ");

    // A simulator about to announce itself clears away what dead ones left.
    RemoveStaleAnnouncements(roots.simDir);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(roots.simDir))
        left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{Pid() + ".1", Pid() + ".2"}));
}

TEST_F(PortNamesTest, ListsAlwaysOfferTheUsualNumbers)
{
    AddDevice("ttyUSB0", true);
    const std::vector<SerialPortEntry> ports = ListSerialPorts(8, roots);
    ASSERT_EQ(ports.size(), 8u);
    EXPECT_EQ(ports[0].label, "COM 1 (" + roots.devDir + "/ttyUSB0)");
    EXPECT_EQ(ports[1].label, "COM 2");
    EXPECT_EQ(ports[1].device, "");
    EXPECT_EQ(ports[7].label, "COM 8");

    fs::remove_all(root);  // no folders at all: nothing detected, nothing broken
    EXPECT_TRUE(ScanSerialPorts(roots).empty());
    EXPECT_EQ(ListSerialPorts(8, roots).size(), 8u);
}

TEST(PortNameParsing, ComNumbers)
{
    const struct {
        const char* text;
        std::optional<int> number;
    } cases[] = {
        {"COM1", 1},   {"COM 8", 8},   {"com12", 12}, {"Com  3", 3},        {"COM0", {}},
        {"COM", {}},   {"COM ", {}},   {"COMx", {}},  {"COM 3x", {}},       {"COM-1", {}},
        {"COM+1", {}}, {"COM1.5", {}}, {"XCOM1", {}}, {"/dev/ttyUSB0", {}}, {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseComNumber(c.text), c.number) << c.text;
}

}  // namespace
