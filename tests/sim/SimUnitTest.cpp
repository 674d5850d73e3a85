// The weirlink-sim program as people use it. How the simulated unit answers is exercised
// through the tool by the protocol tests.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

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
    EXPECT_EQ(comm.bootInfo.blockSize, 513);
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

}  // namespace
