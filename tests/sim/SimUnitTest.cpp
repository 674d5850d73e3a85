// The weirlink-sim program as people use it. How the simulated unit answers is exercised
// through the tool by the protocol tests.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "comm/PortNames.h"
#include "config/ConfigImage.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

TEST(SimProgram, ServesItsConfigurationAndFaultsAsComOneAndLeavesNoTrace)
{
    TempRuntimeFolder runtime;
    UnitConfig config = DefaultConfig();
    std::strcpy(config.siteName, "FromFile");
    const std::string cfg = runtime.Path() + "/unit.cfg",
                      announced = runtime.Path() + "/weirlink-sim";
    std::ofstream file(cfg, std::ios::binary);
    ASSERT_TRUE(WriteConfigImage(config, file) && file.flush());

    const std::string program = std::string(WEIRLINK_SIM_PROGRAM) + " --config " + cfg;
    FILE* out = ::popen(("exec " + program + " --fail 'SN 0' --block-size 513").c_str(), "r");
    char device[256] = "";
    ASSERT_TRUE(out != nullptr && std::fgets(device, sizeof device, out) != nullptr);
    ASSERT_FALSE(ScanSerialPorts().empty());
    EXPECT_EQ(ScanSerialPorts()[0].device + "\n", device);
    CCommunications comm;
    std::string image;
    ASSERT_TRUE(comm.EnterCommandMode("COM1", 57600) && comm.QuerySettings(image))
        << comm.GetErrorText();
    EXPECT_NE(image.find("FromFile"), std::string::npos);
    EXPECT_FALSE(comm.SendCommand("SN 0 Elsewhere"));
    ASSERT_TRUE(comm.InitFlash(115200) && comm.Ping()) << comm.GetErrorText();
    EXPECT_EQ(comm.BootInfo().blockSize, 513);
    comm.ClosePort();

    // The announcement is named after the program's process.
    ::kill(std::stoi(std::filesystem::directory_iterator(announced)->path().filename()), SIGTERM);
    const int status = ::pclose(out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(std::filesystem::is_empty(announced));

    // A file that is no configuration ends the program at once.
    std::ofstream(cfg) << "not a configuration";
    EXPECT_EQ(WEXITSTATUS(std::system((program + " 2>/dev/null").c_str())), 1);
}

// Whether the terminal turns away ordinary programs: as root the flag can be read; anyone
// else cannot open it at all while it is set.
bool IsExclusive(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EBUSY;
    int exclusive = 0;
    ::ioctl(fd, TIOCGEXCL, &exclusive);
    ::close(fd);
    return exclusive != 0;
}

bool BecomesShared(const std::string& device)
{
    for (int i = 0; i < 250 && IsExclusive(device); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return !IsExclusive(device);
}

// A tool killed while it held the terminal leaves it marked exclusive; the unit clears the
// mark once the tool's lock has gone with it, and not while a tool holds the lock.
TEST(SimUnit, ClearsTheExclusiveMarkAKilledToolLeftBehind)
{
    CSimUnit unit;
    ASSERT_TRUE(unit.Start());
    const std::string device = unit.DevicePath();
    {
        // User-mode emulation (qemu-user) passes no TIOCGEXCL to the kernel, so neither the
        // unit nor this test can see the mark there.
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        int exclusive = 0;
        const bool visible =
            fd >= 0 && (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 || errno != ENOSYS);
        if (fd >= 0) ::close(fd);
        if (!visible) GTEST_SKIP() << "this system cannot tell whether a terminal is exclusive";
    }
    {
        CSerialPort held;
        ASSERT_TRUE(held.Open(device, 57600));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the unit looked twice
        EXPECT_TRUE(IsExclusive(device));
    }
    // As the killed tool left it: locked and marked, then closed without a word.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
    ::close(fd);
    EXPECT_TRUE(BecomesShared(device));
    CCommunications comm;
    EXPECT_TRUE(comm.EnterCommandMode(device, 57600)) << comm.GetErrorText();
}

// The unit keeps the latest entries of its log, not everything it ever received.
TEST(SimUnit, KeepsItsLogWithinItsLimit)
{
    SimOptions options;
    options.logLimit = 4;
    UnitConfig config;
    SetDefaults(config);
    CSimUnit unit(config, options);
    ASSERT_TRUE(unit.Start());
    CCommunications comm;
    ASSERT_TRUE(comm.EnterCommandMode(unit.DevicePath(), 57600)) << comm.GetErrorText();
    for (int i = 1; i <= 20; ++i) ASSERT_TRUE(comm.SendCommand("XO 1 " + std::to_string(400 + i)));
    const SimLog log = unit.Log();
    EXPECT_GE(log.lines.size(), 4u);
    EXPECT_LT(log.lines.size(), 8u);
    EXPECT_EQ(log.lines.back(), "XO 1 420");
    EXPECT_LT(log.outputTests.size(), 8u);
    EXPECT_EQ(log.outputTests.back(), (std::pair<int, int>{1, 420}));
}

}  // namespace
