#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "config/ConfigFile.h"
#include "config/ConfigImage.h"

namespace fs = std::filesystem;

namespace {

std::string ImageOf(const UnitConfig& config)
{
    std::ostringstream out;
    EXPECT_TRUE(WriteConfigImage(config, out));
    return out.str();
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Reason(const std::string& text, const std::string& path, int error)
{
    return text + "\n" + path + ": " + std::strerror(error);
}

class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/weirlink-config-file-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        SetDefaults(config);
        image = ImageOf(config);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const char* name) const { return dir + "/" + name; }
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

TEST_F(ConfigFileTest, SavesNewAndExistingFilesAndFilesBehindLinks)
{
    const mode_t oldMask = ::umask(027);
    const bool savedNew = SaveConfigFile(config, Path("new.cfg"), errorText);
    ::umask(oldMask);
    ASSERT_TRUE(savedNew) << errorText;
    EXPECT_EQ(fs::status(Path("new.cfg")).permissions(), fs::perms(0640));
    UnitConfig loaded{};
    ASSERT_TRUE(LoadConfigFile(loaded, Path("new.cfg"), errorText)) << errorText;
    EXPECT_EQ(std::memcmp(&loaded, &config, sizeof loaded), 0);

    // A replaced file keeps its mode; links keep pointing where they did.
    fs::permissions(Write("old.cfg", "older content"), fs::perms(0604));
    fs::create_symlink("old.cfg", Path("link.cfg"));
    fs::create_symlink("link.cfg", Path("link-to-link.cfg"));
    fs::create_symlink("not-yet.cfg", Path("dangling.cfg"));
    ASSERT_TRUE(SaveConfigFile(config, Path("link-to-link.cfg"), errorText)) << errorText;
    ASSERT_TRUE(SaveConfigFile(config, Path("dangling.cfg"), errorText)) << errorText;
    EXPECT_EQ(ReadFile(Path("old.cfg")), image);
    EXPECT_EQ(ReadFile(Path("not-yet.cfg")), image);
    EXPECT_EQ(fs::status(Path("old.cfg")).permissions(), fs::perms(0604));
    for (const char* link : {"link.cfg", "link-to-link.cfg", "dangling.cfg"})
        EXPECT_TRUE(fs::is_symlink(Path(link))) << link;
    EXPECT_EQ(Entries(), 6);
}

// Every failure names the path and the reason, and leaves the previous file and the record
// as they were.
TEST_F(ConfigFileTest, FailuresNameThePathAndTheReasonAndLeaveFileAndRecordAlone)
{
    // The write fails part-way (EFBIG from a file size limit): the previous file must survive.
    const std::string kept = Write("unit.cfg", std::string(435, 'p'));
    struct rlimit limit {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlim_t oldLimit = std::exchange(limit.rlim_cur, 100);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool saved = SaveConfigFile(config, kept, errorText);
    limit.rlim_cur = oldLimit;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(errorText, Reason(std::string(kFileWriteErrorText) + kFileKeptText, kept, EFBIG));
    EXPECT_EQ(ReadFile(kept), std::string(435, 'p'));
    EXPECT_EQ(Entries(), 1);

    // A device takes the bytes directly; it is not replaced by a file.
    EXPECT_FALSE(SaveConfigFile(config, "/dev/full", errorText));
    EXPECT_EQ(errorText, Reason(kFileWriteErrorText, "/dev/full", ENOSPC));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_TRUE(SaveConfigFile(config, "/dev/null", errorText)) << errorText;

    const std::string noFolder = Path("no-such-folder/unit.cfg");
    const std::pair<std::string, int> saves[] = {{noFolder, ENOENT}, {"", ENOENT}, {dir, EISDIR}};
    for (const auto& [path, error] : saves) {
        EXPECT_FALSE(SaveConfigFile(config, path, errorText));
        EXPECT_EQ(errorText, Reason(kFileOpenErrorText, path, error));
    }

    std::string damaged = image;
    damaged[200] ^= 0x10;
    const std::pair<std::string, std::string> loads[] = {
        {Path("missing.cfg"), Reason(kFileOpenErrorText, Path("missing.cfg"), ENOENT)},
        {dir, Reason(kFileOpenErrorText, dir, EISDIR)},
        {Write("damaged.cfg", damaged), kImageChecksumText},
        {Write("short.cfg", image.substr(0, 434)), kImageIncompleteText},
        {"/dev/zero", std::string(kFileOpenErrorText) + "\n/dev/zero: " + kNotRegularFileReason}};
    UnitConfig loaded = config;
    for (const auto& [path, text] : loads) {
        EXPECT_FALSE(LoadConfigFile(loaded, path, errorText));
        EXPECT_EQ(errorText, text);
    }
    EXPECT_EQ(std::memcmp(&loaded, &config, sizeof loaded), 0);
}

// A pipe named like a configuration file is refused at once. Should the open wait for a
// writer after all, the test plays one after a while, so that it fails rather than hangs.
TEST_F(ConfigFileTest, APipeIsRefusedWithoutWaitingForAWriter)
{
    const std::string fifo = Path("pipe.cfg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> loaded{false}, rescued{false};
    std::thread writer([&] {
        for (int i = 0; i < 500 && !loaded; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (loaded) return;
        rescued = true;
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        if (fd >= 0) ::close(fd);
    });
    UnitConfig loadedConfig = config;
    EXPECT_FALSE(LoadConfigFile(loadedConfig, fifo, errorText));
    loaded = true;
    writer.join();
    EXPECT_FALSE(rescued) << "the open waited for a writer";
    EXPECT_EQ(errorText,
              std::string(kFileOpenErrorText) + "\n" + fifo + ": " + kNotRegularFileReason);
}

// Saves killed at random moments leave no temporary file that outlives the next save; that
// next save removes only what a dead process left, never another running save's file.
TEST_F(ConfigFileTest, AKilledSaveLeavesNothingBehindAfterTheNextSave)
{
    const std::string path = Path("unit.cfg");
    ASSERT_TRUE(SaveConfigFile(config, path, errorText)) << errorText;
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t saver = ::fork();
        ASSERT_GE(saver, 0);
        if (saver == 0) {
            std::string ignored;
            for (;;) SaveConfigFile(config, path, ignored);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + 731 * kill % 4000));
        ::kill(saver, SIGKILL);
        ::waitpid(saver, nullptr, 0);
    }
    // As a save killed between naming its file and the rename leaves it; one of a running
    // save (this process's parent stands in for it); a file that only looks similar.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string abandoned = ".unit.cfg." + std::to_string(gone) + ".a1B2c3";
    const std::string running = ".unit.cfg." + std::to_string(::getppid()) + ".a1B2c3";
    Write(abandoned.c_str(), "half");
    Write(running.c_str(), "half");
    Write(".unit.cfg.backup", "mine");

    ASSERT_TRUE(SaveConfigFile(config, path, errorText)) << errorText;
    EXPECT_EQ(ReadFile(path), image);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::vector<std::string> expected = {".unit.cfg.backup", running, "unit.cfg"};
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}
