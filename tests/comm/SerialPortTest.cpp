// The port over a real pseudo-terminal, the test playing the far end on the master side;
// and port numbering against a fake /dev and /sys/class/tty, with pseudo-terminals standing
// in for running simulators.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "comm/PortNames.h"
#include "comm/SerialPort.h"
#include "sim/Pty.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

using namespace std::chrono_literals;

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Open(57600));
        ASSERT_TRUE(port.Open(pty.SlavePath(), 57600)) << port.GetOpenError();
    }

    // Writes the bytes from another thread, `gap` before each.
    std::thread Send(std::string bytes, std::chrono::milliseconds gap = 0ms)
    {
        return std::thread([this, bytes, gap] {
            for (char byte : bytes) {
                std::this_thread::sleep_for(gap);
                (void)!::write(pty.MasterFd(), &byte, 1);
            }
        });
    }

    CPty pty;
    CSerialPort port;
};

TEST_F(SerialPortTest, TheTimeOutLimitsEachGapNotTheWholeReply)
{
    // Twenty gaps of 30 ms take far longer than the 200 ms time-out, yet none exceeds it.
    std::string text = "abc";
    std::thread slow = Send("0123456789abcdefghi>z", 30ms);
    EXPECT_TRUE(port.ReadUntil(text, 200, '>'));
    slow.join();
    EXPECT_EQ(text, "abc0123456789abcdefghi>");  // what it held stays in front

    // One gap longer than the time-out fails the read; what came before it is kept.
    std::thread late = Send("1", 300ms);
    char buffer[4] = {'-', '-', '-', '-'};
    EXPECT_FALSE(port.ReadExact(buffer, 3, 100));
    EXPECT_EQ(std::string(buffer, 4), "z---");  // the byte after the terminator was left
    late.join();
}

TEST_F(SerialPortTest, ConfigureTakesTheEightRatesOnlyAndResetsTheTimeOut)
{
    for (int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
        ASSERT_TRUE(port.SetTimeout(123));
        ASSERT_TRUE(port.Configure(rate)) << rate;
        EXPECT_EQ(port.GetTimeout(), 5000u);
        EXPECT_EQ(pty.SlaveBaudRate(), rate);
    }
    for (int rate : {0, 14400, 230400}) EXPECT_FALSE(port.Configure(rate)) << rate;
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(pty.SlaveBaudRate(), 115200);

    port.Close();
    EXPECT_FALSE(port.Open(pty.SlavePath(), 250000));
    EXPECT_EQ(port.GetOpenError(), EINVAL);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPortTest, OneProgramAtATimeAndOpenErrorsTellTheRemedy)
{
    CSerialPort second;
    EXPECT_FALSE(second.Open(pty.SlavePath(), 57600));
    EXPECT_EQ(second.GetOpenError(), EBUSY);
    port.Close();
    EXPECT_TRUE(second.Open(pty.SlavePath(), 57600));
    EXPECT_EQ(second.GetOpenError(), 0);

    EXPECT_FALSE(port.Open("/dev/no-such-serial-port", 57600));
    EXPECT_EQ(port.GetOpenError(), ENOENT);
    std::uint8_t byte = 0;
    EXPECT_FALSE(port.ReadByte(byte) || port.WriteString("x") || port.Configure(57600));
    EXPECT_FALSE(port.Open("/dev/null", 57600));  // a file is no serial port
    EXPECT_EQ(port.GetOpenError(), ENOTTY);

    EXPECT_NE(DescribeOpenError("/dev/ttyUSB0", EACCES)
                  .find("Permission denied (your user needs "
                        "to be in the dialout group"),
              std::string::npos);
    EXPECT_NE(DescribeOpenError("/dev/ttyS0", EBUSY).find("ModemManager or brltty"),
              std::string::npos);
}

TEST_F(SerialPortTest, WritesGoOutWholeOrFailWithinTheTimeOut)
{
    // Far more than the terminal buffers at once: the write goes out in parts.
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    std::string received;
    std::thread reader([&] {
        char buffer[4096];
        pollfd entry{pty.MasterFd(), POLLIN, 0};
        while (received.size() < big.size() && ::poll(&entry, 1, 2000) > 0) {
            const ssize_t got = ::read(pty.MasterFd(), buffer, sizeof buffer);
            if (got <= 0) break;
            received.append(buffer, std::size_t(got));
        }
    });
    EXPECT_TRUE(port.WriteString(big));
    reader.join();
    EXPECT_EQ(received, big);

    // Nobody reads: the write gives up after the time-out instead of hanging.
    ASSERT_TRUE(port.SetTimeout(200));
    EXPECT_FALSE(port.WriteString(big));
}

TEST_F(SerialPortTest, FlushDropsWaitingInputAndEndsWhileTheFarEndKeepsSending)
{
    std::atomic<bool> sending{true};
    std::thread chatter([&] {
        const std::string noise(64, 'n');
        while (sending) {
            (void)!::write(pty.MasterFd(), noise.data(), noise.size());
            std::this_thread::sleep_for(1ms);
        }
    });
    std::this_thread::sleep_for(20ms);
    port.Flush();  // must return although the input never runs dry
    sending = false;
    chatter.join();
    port.Flush();
    Send("z").join();
    std::uint8_t byte = 0;
    ASSERT_TRUE(port.ReadByte(byte));
    EXPECT_EQ(byte, 'z');
}

TEST_F(SerialPortTest, TraceSeesEveryByteWithItsDirection)
{
    std::string sent, received;
    port.SetTrace([&](TraceDirection direction, const std::uint8_t* bytes, std::size_t count) {
        (direction == TraceDirection::Sent ? sent : received)
            .append(reinterpret_cast<const char*>(bytes), count);
    });
    EXPECT_TRUE(port.WriteString("PS\n"));
    Send("ok>").join();
    std::string text;
    EXPECT_TRUE(port.ReadUntil(text, 500, '>'));
    EXPECT_EQ(sent, "PS\n");
    EXPECT_EQ(received, "ok>");
}

namespace fs = std::filesystem;

class PortNamesTest : public ::testing::Test {
protected:
    // A device node (a plain file will do: the scan never opens real devices) and its sysfs
    // entry: with hardware behind it, and with the port type the driver reports.
    void AddDevice(const std::string& name, bool hardware, int type = -1)
    {
        const std::string sys = roots.sysTtyDir + "/" + name;
        fs::create_directories(hardware ? sys + "/device" : sys);
        fs::create_directories(roots.devDir);
        std::ofstream(roots.devDir + "/" + name).put('\0');
        if (type >= 0) std::ofstream(sys + "/type") << type << "\n";
    }

    // A link as a simulator leaves it, aged so that the order of announcing is clear.
    void Announce(const std::string& name, const std::string& target, int secondsAgo)
    {
        const std::string link = roots.simDir + "/" + name;
        fs::create_directories(roots.simDir);
        fs::create_symlink(target, link);
        const timespec time{::time(nullptr) - secondsAgo, 0}, times[2] = {time, time};
        ::utimensat(AT_FDCWD, link.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }

    TempFolder scratch;
    const std::string root = scratch.Path(), pid = std::to_string(::getpid());
    PortScanRoots roots{root + "/dev", root + "/sys/class/tty", root + "/sim"};
};

TEST_F(PortNamesTest, SimulatorsComeFirstThenRealDevicesByFamilyAndNumber)
{
    EXPECT_TRUE(ScanSerialPorts(roots).empty());  // no folders at all: nothing broken
    CPty older, newer, orphan;
    ASSERT_TRUE(older.Open(57600) && newer.Open(57600) && orphan.Open(57600));
    Announce(pid + ".2", newer.SlavePath(), 10);
    Announce(pid + ".1", older.SlavePath(), 20);
    Announce("2147483646", orphan.SlavePath(), 30);  // its simulator is gone
    Announce(pid + ".3", root + "/vanished", 5);     // its terminal is gone
    AddDevice("ttyS1", true, 0);                     // the 8250 driver's placeholder
    AddDevice("ttyS0", true, 4);
    AddDevice("ttyS2", false);
    AddDevice("ttyUSB10", true);
    AddDevice("ttyUSB1", true);
    AddDevice("ttyACM0", true);
    AddDevice("rfcomm0", false);  // Bluetooth ports are virtual devices
    AddDevice("tty0", false);
    AddDevice("ttySAC", true);  // no number: not a port

    const std::string dev = roots.devDir + "/";
    std::vector<std::string> devices;
    for (const SerialPortEntry& port : ListSerialPorts(8, roots)) devices.push_back(port.device);
    EXPECT_EQ(devices, (std::vector<std::string>{older.SlavePath(), newer.SlavePath(),
                                                 dev + "ttyUSB1", dev + "ttyUSB10", dev + "ttyACM0",
                                                 dev + "ttyS0", dev + "rfcomm0", ""}));
    const std::vector<SerialPortEntry> ports = ListSerialPorts(8, roots);
    EXPECT_EQ(ports[1].label, "COM 2 (simulated unit)");
    EXPECT_EQ(ports[2].label, "COM 3 (" + dev + "ttyUSB1)");
    EXPECT_EQ(ports[7].label, "COM 8");
    EXPECT_EQ(ResolvePortName("com  3", roots), dev + "ttyUSB1");
    EXPECT_EQ(ResolvePortName("COM8", roots), "");
    for (const char* text : {"COM0", "COM 3x", "COM-1", "XCOM1", "/dev/ttyUSB0"})
        EXPECT_EQ(ResolvePortName(text, roots), text);

    // A simulator about to announce itself clears away what dead ones left.
    RemoveStaleAnnouncements(roots.simDir);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(roots.simDir))
        left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{pid + ".1", pid + ".2"}));
}

}  // namespace
