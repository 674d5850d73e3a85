// Saving and opening .cfg files on Windows: the previous file survives, protected files stay
// protected, and every failure names the path and the system's reason.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "config/ConfigFile.h"
#include "config/ConfigImage.h"
#include "config/Win32Error.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Reason(const std::string& text, const std::string& path, DWORD error)
{
    return text + "\n" + path + ": " + SystemErrorText(error);
}

class ConfigFileWin32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir = (fs::temp_directory_path() / ("weirlink-config-" + name)).string();
        fs::remove_all(dir);
        ASSERT_TRUE(fs::create_directory(dir));
        SetDefaults(config);
        std::ostringstream out;
        WriteConfigImage(config, out);
        image = out.str();
    }
    void TearDown() override
    {
        for (const auto& entry : fs::directory_iterator(dir))
            ::SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(dir);
    }

    std::string Path(const char* name) const { return dir + "\\" + name; }
    std::string Write(const char* name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    // Shows a temporary file left behind.
    auto Entries() const { return std::distance(fs::directory_iterator(dir), {}); }

    std::string dir;
    UnitConfig config;
    std::string image;
    std::string errorText;
};

}  // namespace

// A new file, then a save over it that keeps the file's attributes, then a device.
TEST_F(ConfigFileWin32Test, SavesNewAndExistingFilesAndKeepsTheirAttributes)
{
    ASSERT_TRUE(SaveConfigFile(config, Path("new.cfg"), errorText)) << errorText;
    UnitConfig loaded{};
    ASSERT_TRUE(LoadConfigFile(loaded, Path("new.cfg"), errorText)) << errorText;
    EXPECT_EQ(std::memcmp(&loaded, &config, sizeof loaded), 0);

    const std::string old = Write("old.cfg", "older content");
    ASSERT_TRUE(::SetFileAttributesA(old.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SaveConfigFile(config, old, errorText)) << errorText;
    EXPECT_EQ(ReadFile(old), image);
    EXPECT_NE(::GetFileAttributesA(old.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(Entries(), 2);

    EXPECT_TRUE(SaveConfigFile(config, "NUL", errorText)) << errorText;
}

TEST_F(ConfigFileWin32Test, FailuresNameThePathAndTheReasonAndLeaveFilesAndRecordAlone)
{
    const std::string locked = Write("locked.cfg", "the technician's earlier file");
    ASSERT_TRUE(::SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string noFolder = Path("no-such-folder\\unit.cfg");
    const std::pair<std::string, std::string> saves[] = {
        {locked, Reason(kFileOpenErrorText, locked, ERROR_ACCESS_DENIED)},
        {dir, Reason(kFileOpenErrorText, dir, ERROR_ACCESS_DENIED)},
        {"", Reason(kFileOpenErrorText, "", ERROR_PATH_NOT_FOUND)}};
    for (const auto& [path, text] : saves) {
        EXPECT_FALSE(SaveConfigFile(config, path, errorText)) << path;
        EXPECT_EQ(errorText, text);
    }
    // Whatever words the system has for a missing folder, they follow the path.
    EXPECT_FALSE(SaveConfigFile(config, noFolder, errorText));
    EXPECT_TRUE(errorText.starts_with(std::string(kFileOpenErrorText) + "\n" + noFolder + ": "));
    EXPECT_EQ(ReadFile(locked), "the technician's earlier file");
    EXPECT_EQ(Entries(), 1);

    // A pipe that nobody writes to would hold a read for ever; NUL is a device.
    const std::string pipe =
        "\\\\.\\pipe\\weirlink-config-test-" + std::to_string(::GetCurrentProcessId());
    const HANDLE server =
        ::CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const std::string openFailed = std::string(kFileOpenErrorText) + "\n";
    std::string damaged = image;
    damaged[200] ^= 0x10;
    const std::pair<std::string, std::string> loads[] = {
        {Path("missing.cfg"),
         Reason(kFileOpenErrorText, Path("missing.cfg"), ERROR_FILE_NOT_FOUND)},
        {dir, Reason(kFileOpenErrorText, dir, ERROR_ACCESS_DENIED)},
        {Write("damaged.cfg", damaged), kImageChecksumText},
        {Write("short.cfg", image.substr(0, 434)), kImageIncompleteText},
        {"NUL", openFailed + "NUL: " + kNotRegularFileReason},
        {pipe, openFailed + pipe + ": " + kNotRegularFileReason}};
    UnitConfig loaded = config;
    for (const auto& [path, text] : loads) {
        EXPECT_FALSE(LoadConfigFile(loaded, path, errorText)) << path;
        EXPECT_EQ(errorText, text);
    }
    ::CloseHandle(server);
    EXPECT_EQ(std::memcmp(&loaded, &config, sizeof loaded), 0);
}

// A save killed before its move leaves its temporary file; the next save of the same target
// removes it, but not the file of a save that is still running, nor one that only looks alike.
TEST_F(ConfigFileWin32Test, TheNextSaveRemovesWhatAKilledSaveLeft)
{
    // The id of a process that has ended: this program, run to do nothing.
    char self[MAX_PATH];
    ASSERT_NE(::GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    std::string line = std::string("\"") + self + "\" --gtest_filter=-*";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                 nullptr, nullptr, &startup, &child));
    ::WaitForSingleObject(child.hProcess, INFINITE);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);

    const std::string abandoned = ".unit.cfg." + std::to_string(child.dwProcessId) + ".a1B2c3";
    const std::string running = ".unit.cfg." + std::to_string(::GetCurrentProcessId()) + ".a1B2c3";
    Write(abandoned.c_str(), "half");
    Write(running.c_str(), "half");
    Write(".unit.cfg.backup", "mine");

    const std::string path = Path("unit.cfg");
    ASSERT_TRUE(SaveConfigFile(config, path, errorText)) << errorText;
    ASSERT_TRUE(SaveConfigFile(config, path, errorText)) << errorText;
    EXPECT_EQ(ReadFile(path), image);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {".unit.cfg.backup", running, "unit.cfg"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}
