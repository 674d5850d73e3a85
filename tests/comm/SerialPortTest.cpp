// The port over a real pseudo-terminal: the test plays the far end on the master side and
// controls exactly when each byte arrives.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "comm/SerialPort.h"
#include "sim/Pty.h"

namespace {

using namespace std::chrono_literals;

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Open(57600));
        ASSERT_TRUE(port.Open(pty.SlavePath(), 57600)) << port.GetOpenError();
    }

    void Send(const std::string& bytes)
    {
        ASSERT_EQ(::write(pty.MasterFd(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    // Sends the bytes one at a time with a pause before each, from another thread.
    std::thread SendSlowly(std::string bytes, std::chrono::milliseconds gap)
    {
        return std::thread([this, bytes, gap] {
            for (char byte : bytes) {
                std::this_thread::sleep_for(gap);
                (void)!::write(pty.MasterFd(), &byte, 1);
            }
        });
    }

    std::string ReceiveAtMaster(std::size_t count)
    {
        std::string bytes;
        while (bytes.size() < count) {
            pollfd entry{pty.MasterFd(), POLLIN, 0};
            if (::poll(&entry, 1, 2000) <= 0) break;
            char buffer[4096];
            const ssize_t got = ::read(pty.MasterFd(), buffer, sizeof buffer);
            if (got <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }

    CPty pty;
    CSerialPort port;
};

TEST_F(SerialPortTest, ReadUntilKeepsTheTextAndEndsWithTheTerminator)
{
    std::string text = "abc";
    Send("xy>z");
    EXPECT_TRUE(port.ReadUntil(text, 500, '>'));
    EXPECT_EQ(text, "abcxy>");

    // The byte after the terminator is left for the next read; a terminator first ends at once.
    std::string next;
    Send(">");
    EXPECT_TRUE(port.ReadUntil(next, 500, 'z'));
    EXPECT_EQ(next, "z");
    next.clear();
    EXPECT_TRUE(port.ReadUntil(next, 500, '>'));
    EXPECT_EQ(next, ">");
}

TEST_F(SerialPortTest, TimeOutLimitsEachGapNotTheWholeReply)
{
    // Twenty gaps of 30 ms take far longer than the 200 ms time-out, yet none exceeds it.
    std::thread sender = SendSlowly("0123456789abcdefghi>", 30ms);
    std::string text;
    EXPECT_TRUE(port.ReadUntil(text, 200, '>'));
    sender.join();
    EXPECT_EQ(text, "0123456789abcdefghi>");

    // One gap longer than the time-out fails the read at that byte.
    Send("ab");
    sender = std::thread([this] {
        std::this_thread::sleep_for(300ms);
        Send("c>");
    });
    text.clear();
    EXPECT_FALSE(port.ReadUntil(text, 100, '>'));
    EXPECT_EQ(text, "ab");
    sender.join();
}

TEST_F(SerialPortTest, ReadExactKeepsWhatArrivedBeforeAFailure)
{
    Send("123");
    char buffer[6] = {'-', '-', '-', '-', '-', '-'};
    EXPECT_FALSE(port.ReadExact(buffer, 5, 100));
    EXPECT_EQ(std::string(buffer, 6), "123---");

    Send("45678");
    EXPECT_TRUE(port.ReadExact(buffer, 5, 100));
    EXPECT_EQ(std::string(buffer, 5), "45678");
}

TEST_F(SerialPortTest, ConfigureSetsTheRateAndResetsTheTimeOut)
{
    for (int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
        ASSERT_TRUE(port.SetTimeout(123));
        ASSERT_TRUE(port.Configure(rate)) << rate;
        EXPECT_EQ(port.GetTimeout(), CSerialPort::kConfigureTimeoutMs);
        EXPECT_EQ(pty.SlaveBaudRate(), rate);
        EXPECT_TRUE(IsSupportedBaudRate(rate));
    }
    // A rate outside the table fails and leaves the port open at its old rate.
    for (int rate : {0, -9600, 14400, 230400}) {
        EXPECT_FALSE(port.Configure(rate)) << rate;
        EXPECT_FALSE(IsSupportedBaudRate(rate));
    }
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(pty.SlaveBaudRate(), 115200);

    CSerialPort other;
    port.Close();
    EXPECT_FALSE(other.Open(pty.SlavePath(), 250000));
    EXPECT_EQ(other.GetOpenError(), EINVAL);
    EXPECT_FALSE(other.IsOpen());
}

TEST_F(SerialPortTest, AClosedPortFailsEverythingAndClosesHarmlessly)
{
    CSerialPort missing;
    EXPECT_FALSE(missing.Open("/dev/no-such-serial-port", 57600));
    EXPECT_EQ(missing.GetOpenError(), ENOENT);
    EXPECT_EQ(missing.GetDevice(), "/dev/no-such-serial-port");

    std::uint8_t byte = 0;
    std::string text;
    EXPECT_FALSE(missing.ReadByte(byte));
    EXPECT_FALSE(missing.ReadUntil(text, 10, '>'));
    EXPECT_FALSE(missing.ReadExact(&byte, 1, 10));
    EXPECT_FALSE(missing.WriteString("x"));
    EXPECT_FALSE(missing.Configure(57600));
    EXPECT_FALSE(missing.SetTimeout(10));
    missing.Flush();
    missing.Close();
    missing.Close();

    // A file is no serial port.
    char path[] = "/tmp/weirlink-port-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(missing.Open(path, 57600));
    EXPECT_EQ(missing.GetOpenError(), ENOTTY);
    ::close(fd);
    ::unlink(path);
}

TEST_F(SerialPortTest, ASecondOpenOfTheSameDeviceIsRefusedUntilTheFirstCloses)
{
    CSerialPort second;
    EXPECT_FALSE(second.Open(pty.SlavePath(), 57600));
    EXPECT_EQ(second.GetOpenError(), EBUSY);
    EXPECT_NE(DescribeOpenError(second.GetDevice(), second.GetOpenError()).find("ModemManager"),
              std::string::npos);

    port.Close();
    EXPECT_TRUE(second.Open(pty.SlavePath(), 57600));
    EXPECT_EQ(second.GetOpenError(), 0);
}

TEST_F(SerialPortTest, OpenErrorsNameTheDeviceTheReasonAndTheRemedy)
{
    EXPECT_EQ(DescribeOpenError("/dev/ttyUSB0", ENOENT), "/dev/ttyUSB0: No such file or directory");
    const std::string denied = DescribeOpenError("/dev/ttyUSB0", EACCES);
    EXPECT_TRUE(denied.starts_with("/dev/ttyUSB0: Permission denied"));
    EXPECT_NE(denied.find("dialout"), std::string::npos);
    const std::string busy = DescribeOpenError("/dev/ttyS0", EBUSY);
    EXPECT_TRUE(busy.starts_with("/dev/ttyS0: Device or resource busy"));
    EXPECT_NE(busy.find("brltty"), std::string::npos);
}

TEST_F(SerialPortTest, WritesGoOutWholeOrFailWithinTheTimeOut)
{
    // Far more than the terminal buffers at once: the write goes out in parts.
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    std::string received;
    std::thread reader([&] { received = ReceiveAtMaster(big.size()); });
    EXPECT_TRUE(port.WriteString(big));
    reader.join();
    EXPECT_EQ(received, big);

    // Nobody reads: the write gives up after the time-out instead of hanging.
    ASSERT_TRUE(port.SetTimeout(200));
    EXPECT_FALSE(port.WriteString(big));
}

TEST_F(SerialPortTest, FlushDropsWaitingInputAndEndsWhileTheFarEndKeepsSending)
{
    Send("stale bytes");
    std::this_thread::sleep_for(20ms);
    port.Flush();
    Send("z");
    std::uint8_t byte = 0;
    ASSERT_TRUE(port.ReadByte(byte));
    EXPECT_EQ(byte, 'z');

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
}

TEST_F(SerialPortTest, TraceSeesEveryByteWithItsDirection)
{
    std::string sent, received;
    port.SetTrace([&](TraceDirection direction, const std::uint8_t* bytes, std::size_t count) {
        (direction == TraceDirection::Sent ? sent : received)
            .append(reinterpret_cast<const char*>(bytes), count);
    });
    EXPECT_TRUE(port.WriteString("PS\n"));
    Send("ok>");
    std::string text;
    EXPECT_TRUE(port.ReadUntil(text, 500, '>'));
    EXPECT_EQ(sent, "PS\n");
    EXPECT_EQ(received, "ok>");

    port.SetTrace(nullptr);
    EXPECT_TRUE(port.WriteString("more"));
    EXPECT_EQ(sent, "PS\n");
}

}  // namespace
