// The simulated unit as a line would show it, and the weirlink-sim program as people use it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "comm/Communications.h"
#include "comm/PortNames.h"
#include "config/ConfigImage.h"
#include "sim/SimUnit.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

namespace fs = std::filesystem;

TEST(SimUnitLine, BytesAtAnotherRateAreLost)
{
    CSimUnit unit;
    ASSERT_TRUE(unit.Start());
    CSerialPort port;
    ASSERT_TRUE(port.Open(unit.DevicePath(), 9600));
    std::string reply;
    ASSERT_TRUE(port.WriteString("\x04"));
    EXPECT_FALSE(port.ReadUntil(reply, 200, '>'));
    EXPECT_EQ(unit.Log().banners, 0);

    ASSERT_TRUE(port.Configure(57600));
    ASSERT_TRUE(port.WriteString("\x04"));
    EXPECT_TRUE(port.ReadUntil(reply, 1000, '>'));
    EXPECT_NE(reply.find("[ENTERED CONTROL MODE]"), std::string::npos);
}

TEST(SimUnitLine, AfterARateChangeTheToolMustFollow)
{
    SimOptions options;
    options.rateGraceMs = 50;
    UnitConfig config;
    SetDefaults(config);
    CSimUnit unit(config, options);
    ASSERT_TRUE(unit.Start());
    CSerialPort port;
    ASSERT_TRUE(port.Open(unit.DevicePath(), 57600));
    std::string reply;
    ASSERT_TRUE(
        port.WriteString("\x04"
                         "SP 2 9600 1 0\nSH\n"));
    ASSERT_TRUE(port.ReadUntil(reply, 1000, '>'));  // banner
    ASSERT_TRUE(port.ReadUntil(reply, 1000, '>'));  // "SP" acknowledged
    reply.clear();
    ASSERT_TRUE(port.ReadUntil(reply, 1000, '\n'));
    EXPECT_EQ(reply, "SH\r\n");  // the echo still at the old rate

    // Staying at 57600, the prompt at 9600 comes as noise.
    char noise[5];
    ASSERT_TRUE(port.ReadExact(noise, 5, 1000));
    EXPECT_EQ(std::string(noise, 5), std::string(5, '\xFF'));
    EXPECT_EQ(unit.BaudRate(), 9600);

    ASSERT_TRUE(port.Configure(9600));
    reply.clear();
    ASSERT_TRUE(port.WriteString("LC 5\n"));
    ASSERT_TRUE(port.ReadUntil(reply, 1000, '>'));
    EXPECT_EQ(reply, "LC 5\r\nOK\r\n>");
}

// The program run as a person runs it, with its own runtime folder.
class SimProgramTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // Starts the program; returns the first line it prints.
    std::string Run(std::vector<std::string> arguments)
    {
        int out[2];
        if (::pipe(out) != 0) return "";
        pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> argv = {const_cast<char*>(WEIRLINK_SIM_PROGRAM)};
            for (std::string& argument : arguments) argv.push_back(argument.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        std::string line;
        char byte = 0;
        pollfd entry{out[0], POLLIN, 0};
        while (::poll(&entry, 1, 5000) > 0 && ::read(out[0], &byte, 1) == 1 && byte != '\n')
            line += byte;
        ::close(out[0]);
        return line;
    }

    int Stop(int signal)
    {
        int status = 0;
        ::kill(pid, signal);
        ::waitpid(pid, &status, 0);
        pid = 0;
        return status;
    }

    TempRuntimeFolder runtime;
    const std::string folder = runtime.Path();
    pid_t pid = 0;
};

TEST_F(SimProgramTest, ServesItsConfigurationAsComOneAndLeavesNoTrace)
{
    UnitConfig config;
    SetDefaults(config);
    std::strcpy(config.siteName, "FromFile");
    const std::string cfg = folder + "/unit.cfg";
    {
        std::ofstream out(cfg, std::ios::binary);
        ASSERT_TRUE(WriteConfigImage(config, out));
    }

    const std::string device = Run({"--config", cfg});
    ASSERT_TRUE(device.starts_with("/dev/pts/")) << device;
    const std::vector<SerialPortEntry> ports = ScanSerialPorts();
    ASSERT_FALSE(ports.empty());
    ASSERT_EQ(ports[0].device, device);
    EXPECT_EQ(ports[0].label, "COM 1 (simulated unit)");

    CCommunications comm;
    ASSERT_TRUE(comm.EnterCommandMode("COM1", 57600)) << comm.GetErrorText();
    std::string image;
    ASSERT_TRUE(comm.QuerySettings(image)) << comm.GetErrorText();
    comm.ClosePort();
    UnitConfig read{};
    std::istringstream in(image);
    std::string error;
    ASSERT_TRUE(ReadConfigImage(read, in, error)) << error;
    EXPECT_STREQ(read.siteName, "FromFile");

    const int status = Stop(SIGTERM);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(fs::is_empty(folder + "/weirlink-sim"));
    EXPECT_TRUE(ScanSerialPorts().empty() || ScanSerialPorts()[0].device != device);
}

TEST_F(SimProgramTest, FaultsAndPaceFromTheCommandLine)
{
    const std::string device =
        Run({"--pace", "--fail", "SN 0", "--no-announce", "--block-size", "513"});
    ASSERT_FALSE(device.empty());
    EXPECT_FALSE(fs::exists(folder + "/weirlink-sim") && !fs::is_empty(folder + "/weirlink-sim"));

    CCommunications comm;
    ASSERT_TRUE(comm.EnterCommandMode(device, 57600)) << comm.GetErrorText();
    EXPECT_FALSE(comm.SendCommand("SN 0 OKANOGAN"));
    EXPECT_TRUE(comm.SendCommand("SN 1 OKANOGAN"));
    ASSERT_TRUE(comm.InitFlash(115200)) << comm.GetErrorText();
    ASSERT_TRUE(comm.Ping()) << comm.GetErrorText();
    EXPECT_EQ(comm.bootInfo.blockSize, 513);
    comm.ClosePort();

    const int status = Stop(SIGINT);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(SimProgramTest, RefusesAFileThatIsNoConfiguration)
{
    const std::string bad = folder + "/bad.cfg";
    std::ofstream(bad) << "not a configuration";
    Run({"--config", bad});
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = 0;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

}  // namespace
