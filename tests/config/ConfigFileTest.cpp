#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "config/ConfigFile.h"
#include "config/ConfigImage.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ImageOf(const UnitConfig& config)
{
    std::ostringstream out;
    WriteConfigImage(config, out);
    return out.str();
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/weirlink-config-file-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        SetDefaults(config_);
        std::strcpy(config_.siteName, "Saved");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const char* name) const { return dir_ + "/" + name; }

    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir_;
    UnitConfig config_;
};

}  // namespace

TEST_F(ConfigFileTest, SavesAndLoadsTheImage)
{
    const std::string path = Path("unit.cfg");
    std::string errorText;
    ASSERT_TRUE(SaveConfigFile(config_, path, errorText)) << errorText;
    EXPECT_EQ(ReadFile(path), ImageOf(config_));
    EXPECT_EQ(Entries(), std::vector<std::string>{"unit.cfg"});

    UnitConfig loaded{};
    ASSERT_TRUE(LoadConfigFile(loaded, path, errorText)) << errorText;
    EXPECT_EQ(std::memcmp(&loaded, &config_, sizeof loaded), 0);
}

TEST_F(ConfigFileTest, NewFileTakesTheUmaskAndReplacedFileKeepsItsMode)
{
    const mode_t oldMask = ::umask(027);
    std::string errorText;
    const bool savedNew = SaveConfigFile(config_, Path("new.cfg"), errorText);
    ::umask(oldMask);
    ASSERT_TRUE(savedNew) << errorText;
    struct stat status {};
    ASSERT_EQ(::stat(Path("new.cfg").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);

    const std::string existing = Path("existing.cfg");
    WriteFile(existing, "older content");
    ASSERT_EQ(::chmod(existing.c_str(), 0604), 0);
    ASSERT_TRUE(SaveConfigFile(config_, existing, errorText)) << errorText;
    EXPECT_EQ(ReadFile(existing), ImageOf(config_));
    ASSERT_EQ(::stat(existing.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"existing.cfg", "new.cfg"}));
}

TEST_F(ConfigFileTest, SavingThroughALinkReplacesTheFileItLeadsTo)
{
    ASSERT_EQ(::mkdir(Path("real").c_str(), 0755), 0);
    WriteFile(Path("real/unit.cfg"), "older content");
    ASSERT_EQ(::symlink("real/unit.cfg", Path("link.cfg").c_str()), 0);
    ASSERT_EQ(::symlink("link.cfg", Path("link-to-link.cfg").c_str()), 0);
    ASSERT_EQ(::symlink("real/not-yet.cfg", Path("dangling.cfg").c_str()), 0);

    std::string errorText;
    ASSERT_TRUE(SaveConfigFile(config_, Path("link-to-link.cfg"), errorText)) << errorText;
    ASSERT_TRUE(SaveConfigFile(config_, Path("dangling.cfg"), errorText)) << errorText;

    for (const char* link : {"link.cfg", "link-to-link.cfg", "dangling.cfg"})
        EXPECT_TRUE(std::filesystem::is_symlink(Path(link))) << link;
    EXPECT_EQ(ReadFile(Path("real/unit.cfg")), ImageOf(config_));
    EXPECT_EQ(ReadFile(Path("real/not-yet.cfg")), ImageOf(config_));

    ASSERT_EQ(::symlink("loop-b.cfg", Path("loop-a.cfg").c_str()), 0);
    ASSERT_EQ(::symlink("loop-a.cfg", Path("loop-b.cfg").c_str()), 0);
    EXPECT_FALSE(SaveConfigFile(config_, Path("loop-a.cfg"), errorText));
    EXPECT_TRUE(EndsWith(errorText, std::strerror(ELOOP))) << errorText;
}

// The write fails part-way (EFBIG from a file size limit): the previous file must survive
// whole and the temporary file must be gone.
TEST_F(ConfigFileTest, FailedWriteKeepsThePreviousFileAndLeavesNoTemporaryFile)
{
    const std::string path = Path("unit.cfg");
    const std::string previous(435, 'p');
    WriteFile(path, previous);

    struct rlimit oldLimit {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    struct rlimit small = oldLimit;
    small.rlim_cur = 100;
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string errorText;
    const bool saved = SaveConfigFile(config_, path, errorText);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(errorText, std::string(kFileWriteErrorText) + kFileKeptText + "\n" + path + ": " +
                             std::strerror(EFBIG));
    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_EQ(Entries(), std::vector<std::string>{"unit.cfg"});
}

TEST_F(ConfigFileTest, ADeviceIsWrittenDirectlyAndItsErrorReported)
{
    std::string errorText;
    EXPECT_FALSE(SaveConfigFile(config_, "/dev/full", errorText));
    EXPECT_EQ(errorText,
              std::string(kFileWriteErrorText) + "\n/dev/full: " + std::strerror(ENOSPC));
    struct stat status {};
    ASSERT_EQ(::stat("/dev/full", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));

    EXPECT_TRUE(SaveConfigFile(config_, "/dev/null", errorText)) << errorText;
}

TEST_F(ConfigFileTest, PathsThatCannotBeOpenedNameThePathAndTheReason)
{
    const std::string missingFolder = Path("no-such-folder/unit.cfg");
    std::string errorText;
    EXPECT_FALSE(SaveConfigFile(config_, missingFolder, errorText));
    EXPECT_EQ(errorText, std::string(kFileOpenErrorText) + "\n" + missingFolder + ": " +
                             std::strerror(ENOENT));

    UnitConfig untouched;
    SetDefaults(untouched);
    UnitConfig loaded = untouched;
    EXPECT_FALSE(LoadConfigFile(loaded, Path("missing.cfg"), errorText));
    EXPECT_EQ(errorText, std::string(kFileOpenErrorText) + "\n" + Path("missing.cfg") + ": " +
                             std::strerror(ENOENT));
    EXPECT_FALSE(LoadConfigFile(loaded, dir_, errorText));
    EXPECT_TRUE(EndsWith(errorText, std::strerror(EISDIR))) << errorText;
    EXPECT_FALSE(SaveConfigFile(config_, dir_, errorText));
    EXPECT_TRUE(EndsWith(errorText, std::strerror(EISDIR))) << errorText;
    EXPECT_FALSE(SaveConfigFile(config_, "", errorText));
    EXPECT_EQ(errorText, std::string(kFileOpenErrorText) + "\n: " + std::strerror(ENOENT));
    EXPECT_EQ(std::memcmp(&loaded, &untouched, sizeof loaded), 0);
}

TEST_F(ConfigFileTest, LoadGivesTheReadersTextForADamagedFile)
{
    std::string image = ImageOf(config_);
    image[200] ^= 0x10;
    WriteFile(Path("damaged.cfg"), image);
    WriteFile(Path("short.cfg"), image.substr(0, 434));

    UnitConfig untouched;
    SetDefaults(untouched);
    UnitConfig loaded = untouched;
    std::string errorText;
    EXPECT_FALSE(LoadConfigFile(loaded, Path("damaged.cfg"), errorText));
    EXPECT_EQ(errorText, kImageChecksumText);
    EXPECT_FALSE(LoadConfigFile(loaded, Path("short.cfg"), errorText));
    EXPECT_EQ(errorText, kImageIncompleteText);
    EXPECT_EQ(std::memcmp(&loaded, &untouched, sizeof loaded), 0);

    // An endless device is read no further than one image could reach.
    EXPECT_FALSE(LoadConfigFile(loaded, "/dev/zero", errorText));
    EXPECT_EQ(errorText, kImageUnreadableText);
}
