// The port over a pseudo-terminal whose master side the test plays; port numbering against
// a fake /dev and /sys/class/tty, pseudo-terminals standing in for running simulators.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

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
    char buffer[3] = {'-', '-', '-'};
    EXPECT_FALSE(port.ReadExact(buffer, 2, 100));
    EXPECT_EQ(std::string(buffer, 3), "z--");  // the byte after the terminator was left
    late.join();
}

// A burst is taken from the device in one read and handed out byte by byte: the trace sees
// it once, as it arrived; a rate change keeps what arrived, Flush and a new Open do not.
TEST_F(SerialPortTest, BytesThatArrivedTogetherAreReadInOneCallAndKeptUntilFlushed)
{
    std::vector<std::string> traced;
    port.SetTrace([&traced](TraceDirection direction, const std::uint8_t* bytes, std::size_t n) {
        if (direction == TraceDirection::Received)
            traced.emplace_back(reinterpret_cast<const char*>(bytes), n);
    });
    ASSERT_EQ(::write(pty.MasterFd(), "OK\r\n>rest", 9), 9);
    std::this_thread::sleep_for(50ms);  // all of it in the terminal's queue
    std::string text;
    ASSERT_TRUE(port.ReadUntil(text, 100, '>'));
    EXPECT_EQ(text, "OK\r\n>");
    EXPECT_EQ(traced, std::vector<std::string>{"OK\r\n>rest"});

    ASSERT_TRUE(port.Configure(115200));
    char kept[2] = {};
    ASSERT_TRUE(port.ReadExact(kept, 2, 100));
    EXPECT_EQ(std::string(kept, 2), "re");

    port.Flush();
    std::uint8_t byte = 0;
    ASSERT_TRUE(port.SetTimeout(50));
    EXPECT_FALSE(port.ReadByte(byte));  // "st" went with the flush

    ASSERT_EQ(::write(pty.MasterFd(), "xy", 2), 2);
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(port.ReadByte(byte));
    port.Close();
    ASSERT_TRUE(port.Open(pty.SlavePath(), 57600));
    ASSERT_TRUE(port.SetTimeout(50));
    EXPECT_FALSE(port.ReadByte(byte));  // "y" belonged to the earlier opening
}

TEST_F(SerialPortTest, ConfigureTakesTheEightRatesOnlyAndResetsTheTimeOut)
{
    for (int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
        ASSERT_TRUE(port.SetTimeout(123) && port.Configure(rate)) << rate;
        EXPECT_EQ(port.GetTimeout(), 5000u);
        EXPECT_EQ(pty.SlaveBaudRate(), rate);
    }
    for (int rate : {0, 14400, 230400}) EXPECT_FALSE(port.Configure(rate)) << rate;
    EXPECT_EQ(pty.SlaveBaudRate(), 115200);
    EXPECT_FALSE(port.Open(pty.SlavePath(), 250000));
    EXPECT_EQ(port.GetOpenError(), EINVAL);
}

TEST_F(SerialPortTest, OneProgramAtATimeAndOpenErrorsTellTheRemedy)
{
    CSerialPort second;
    EXPECT_FALSE(second.Open(pty.SlavePath(), 57600));
    EXPECT_EQ(second.GetOpenError(), EBUSY);
    port.Close();
    EXPECT_TRUE(second.Open(pty.SlavePath(), 57600));

    std::uint8_t byte = 0;
    EXPECT_FALSE(port.ReadByte(byte) || port.WriteString("x") || port.Configure(57600));
    EXPECT_FALSE(port.Open("/dev/null", 57600));  // no serial port
    EXPECT_EQ(port.GetOpenError(), ENOTTY);
    EXPECT_NE(DescribeOpenError("/dev/ttyUSB0", EACCES)
                  .find(": Permission denied (your user needs to be in the dialout group"),
              std::string::npos);
    // The holder is named only when it can be seen: here it is this process, which plays the
    // far end. A guess would send the user after the wrong program.
    const std::string busy = DescribeOpenError(pty.SlavePath(), EBUSY);
    EXPECT_TRUE(busy.starts_with(pty.SlavePath() + ": Device or resource busy (held by ")) << busy;
    EXPECT_TRUE(busy.ends_with(", process " + std::to_string(::getpid()) + ")")) << busy;
    EXPECT_EQ(DescribeOpenError("/dev/no-such-tty", EBUSY),
              "/dev/no-such-tty: Device or resource busy (another program holds the port)");
}

// Neither a write nor a flush hangs on a busy line. What an interrupted run left coming (the
// rest of a long reply, with its prompt) must not reach the next one: the flush waits until
// the line is quiet.
TEST_F(SerialPortTest, WriteAndFlushEndOnABusyLineAndTheFlushDrainsAReplyStillComing)
{
    // Nobody reads: the write gives up after the time-out.
    ASSERT_TRUE(port.SetTimeout(200));
    EXPECT_FALSE(port.WriteString(std::string(200000, 'w')));

    // The far end never stops sending: the flush returns all the same.
    std::atomic<bool> sending{true};
    std::thread chatter([&] {
        while (sending) {
            (void)!::write(pty.MasterFd(), "noise", 5);
            std::this_thread::sleep_for(1ms);
        }
    });
    std::this_thread::sleep_for(20ms);
    port.Flush();
    sending = false;
    chatter.join();

    std::thread rest = Send("the tail of an old reply?>", 10ms);
    std::this_thread::sleep_for(15ms);
    port.Flush();
    rest.join();
    Send("new>").join();
    std::string text;
    EXPECT_TRUE(port.ReadUntil(text, 1000, '>'));  // and the port still reads
    EXPECT_EQ(text, "new>");
}

namespace fs = std::filesystem;

TEST(PortNames, SimulatorsComeFirstThenRealDevicesByFamilyAndNumber)
{
    TempFolder scratch;
    const std::string root = scratch.Path(), dev = root + "/dev/", pid = std::to_string(::getpid());
    const PortScanRoots roots{root + "/dev", root + "/sys", root + "/sim"};
    EXPECT_TRUE(ScanSerialPorts(roots).empty());  // no folders at all: nothing broken

    // Links as simulators leave them, aged so that the order of announcing is clear.
    CPty older, newer, orphan;
    ASSERT_TRUE(older.Open(57600) && newer.Open(57600) && orphan.Open(57600));
    fs::create_directories(roots.simDir);
    for (const auto& [name, target, secondsAgo] :
         {std::tuple{pid + ".2", newer.SlavePath(), 10},
          {pid + ".1", older.SlavePath(), 20},
          {"2147483646", orphan.SlavePath(), 30},  // its simulator is gone
          {pid + ".3", root + "/vanished", 5}}) {  // its terminal is gone
        const std::string link = roots.simDir + "/" + name;
        fs::create_symlink(target, link);
        const timespec time{::time(nullptr) - secondsAgo, 0}, times[2] = {time, time};
        ::utimensat(AT_FDCWD, link.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    // Device nodes (plain files: the scan never opens them) and their sysfs entries, with or
    // without hardware behind, with the port type the driver reports (-1: none). ttyS1 is the
    // 8250 driver's placeholder; Bluetooth ports are virtual devices.
    fs::create_directories(roots.devDir);
    for (const auto& [name, hardware, type] : {std::tuple{"ttyS1", true, 0},
                                               {"ttyS0", true, 4},
                                               {"ttyS2", false, -1},
                                               {"ttyUSB10", true, -1},
                                               {"ttyUSB1", true, -1},
                                               {"ttyACM0", true, -1},
                                               {"rfcomm0", false, -1},
                                               {"tty0", false, -1},
                                               {"ttySAC", true, -1}}) {
        const std::string sys = roots.sysTtyDir + "/" + name;
        fs::create_directories(hardware ? sys + "/device" : sys);
        std::ofstream(dev + name).put('\0');
        if (type >= 0) std::ofstream(sys + "/type") << type << "\n";
    }

    std::vector<std::string> devices;
    const std::vector<SerialPortEntry> ports = ListSerialPorts(8, roots);
    for (const SerialPortEntry& port : ports) devices.push_back(port.device);
    EXPECT_EQ(devices, (std::vector<std::string>{older.SlavePath(), newer.SlavePath(),
                                                 dev + "ttyUSB1", dev + "ttyUSB10", dev + "ttyACM0",
                                                 dev + "ttyS0", dev + "rfcomm0", ""}));
    EXPECT_EQ(ports[1].label, "COM 2 (simulated unit)");
    EXPECT_EQ(ports[2].label, "COM 3 (" + dev + "ttyUSB1)");
    EXPECT_EQ(ports[7].label, "COM 8");
    EXPECT_EQ(ResolvePortName("com  3", roots), dev + "ttyUSB1");
    EXPECT_EQ(ResolvePortName("COM8", roots), "");
    for (const char* path : {"COM0", "COM 3x", "XCOM1"})
        EXPECT_EQ(ResolvePortName(path, roots), path);

    // A simulator about to announce itself clears away what dead ones left.
    RemoveStaleAnnouncements(roots.simDir);
    EXPECT_EQ(std::distance(fs::directory_iterator(roots.simDir), {}), 2);
}

}  // namespace

namespace {

// A driver's serial flags as the port sees them through its seam, with every change kept.
struct FakeDriverFlags {
    int flags = 0x1000;  // some other flag the port must leave alone
    int getError = 0, setError = 0;
    std::vector<int> written;

    SerialDriverFlags Seam()
    {
        return {[this](int, int& out) {
                    out = flags;
                    return getError;
                },
                [this](int, int value) {
                    if (setError != 0) return setError;
                    written.push_back(flags = value);
                    return 0;
                }};
    }
};

constexpr int kLowLatency = ASYNC_LOW_LATENCY;

TEST(LowLatency, SetForTheRunAndTheDriversOwnFlagsBackAtClose)
{
    CPty pty;
    ASSERT_TRUE(pty.Open(57600));
    // A pseudo-terminal has no such setting: the port opens as if it had asked nothing.
    int flags = 0;
    EXPECT_EQ(SerialDriverFlags::System().get(pty.SlaveFd(), flags), ENOTTY);
    {
        CSerialPort port;
        ASSERT_TRUE(port.Open(pty.SlavePath(), 115200));
        EXPECT_TRUE(port.Configure(9600));
    }

    FakeDriverFlags driver;
    CSerialPort port;
    port.SetDriverFlags(driver.Seam());
    ASSERT_TRUE(port.Open(pty.SlavePath(), 115200));
    EXPECT_TRUE(port.Configure(9600));  // a new rate keeps it
    EXPECT_EQ(driver.written, (std::vector<int>{0x1000 | kLowLatency}));
    port.Close();
    port.Close();
    EXPECT_EQ(driver.written, (std::vector<int>{0x1000 | kLowLatency, 0x1000}));

    // Set already (by a udev rule, say): nothing to set, and nothing to take away afterwards.
    driver = FakeDriverFlags{0x1000 | kLowLatency, 0, 0, {}};
    port.SetDriverFlags(driver.Seam());
    ASSERT_TRUE(port.Open(pty.SlavePath(), 115200));
    port.Close();
    EXPECT_TRUE(driver.written.empty());

    // Refused or unknown: the port works as it is, and nothing is written back.
    for (const auto& [getError, setError] : {std::pair{0, EPERM}, {EINVAL, 0}, {ENOTTY, 0}}) {
        driver = FakeDriverFlags{0, getError, setError, {}};
        port.SetDriverFlags(driver.Seam());
        ASSERT_TRUE(port.Open(pty.SlavePath(), 115200)) << getError << " " << setError;
        port.Close();
        EXPECT_TRUE(driver.written.empty()) << getError << " " << setError;
    }
}

}  // namespace
