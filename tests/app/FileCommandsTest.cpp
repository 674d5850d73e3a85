#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <fstream>

#include "config/ConfigFile.h"
#include "config/ConfigImage.h"
#include "tests/app/AppTestSupport.h"
#include "tests/gui/ScriptedPrompts.h"

namespace {

using Log = std::vector<std::string>;

const QString kConfigFilter = "Configuration Files (*.cfg)|*.cfg||";

// A record that differs from the defaults in every field a fake page shows.
UnitConfig PumpStation()
{
    UnitConfig config{};
    SetDefaults(config);
    std::strcpy(config.siteName, "Pump 3");
    std::strcpy(config.modemInitString, "ATZ");
    std::strcpy(config.instrumentName[0], "Inlet");
    std::strcpy(config.instrumentName[1], "Outlet");
    std::strcpy(config.instrumentName[2], "Bypass");
    config.ipAddress[3] = 77;
    return config;
}

class FileCommands : public testing::Test {
protected:
    FileCommands() : window(FakePages(log)) { log.clear(); }

    QString PathOf(const char* name) const { return folder.filePath(name); }
    CFakePage* Page(ConfigTab tab) const { return FakePage(window.TabControl(), tab); }

    QTemporaryDir folder;
    Log log;
    CSluiceConfigDlg window;
    CScriptedPrompts prompts;
};

}  // namespace

TEST_F(FileCommands, OpenReplacesTheRecordAndReloadsEveryPage)
{
    const UnitConfig station = PumpStation();
    WriteFile(PathOf("station.cfg"), ImageOf(station));
    prompts.fileAnswers = {PathOf("station.cfg")};

    ChooseMenuItem(window, "&Open Configuration...");

    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_FALSE(prompts.fileRequests[0].save);
    EXPECT_EQ(prompts.fileRequests[0].filter, kConfigFilter);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(Bytes(window.Config()), Bytes(station));
    EXPECT_EQ(log, (Log{"load Communication", "load Alarms", "load Output", "load Site",
                        "load Smoothing"}));
    EXPECT_EQ(Page(TabSite)->edit->text(), "Pump 3");
    EXPECT_EQ(Page(TabSmoothing)->edit->text(), "Bypass");
}

TEST_F(FileCommands, CancelledOpenChangesNothing)
{
    Page(TabSite)->edit->setText("typed, not stored");
    const std::vector<unsigned char> before = Bytes(window.Config());
    prompts.fileAnswers = {""};

    ChooseMenuItem(window, "&Open Configuration...");

    EXPECT_EQ(Bytes(window.Config()), before);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(Page(TabSite)->edit->text(), "typed, not stored");
}

TEST_F(FileCommands, RejectedFileShowsWhyAndLeavesRecordAndPagesAsTheyWere)
{
    QByteArray damaged = ImageOf(PumpStation());
    damaged[100] = char(damaged[100] ^ 0x01);
    QByteArray newerVersion = ImageOf(PumpStation());
    newerVersion[4] = 1;
    const QByteArray shortOfOneByte = ImageOf(PumpStation()).chopped(1);

    struct Case {
        const char* file;
        QByteArray content;  // null: the file does not exist
        const char* message;
        const char* reason;  // what the system said, when it had to say something
    };
    const Case cases[] = {
        {"damaged.cfg", damaged, kImageChecksumText, ""},
        {"newer.cfg", newerVersion, kImageVersionText, ""},
        {"short.cfg", shortOfOneByte, kImageIncompleteText, ""},
        {"missing.cfg", QByteArray(), kFileOpenErrorText, std::strerror(ENOENT)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        if (!c.content.isNull()) WriteFile(PathOf(c.file), c.content);
        Page(TabOutput)->edit->setText("unsaved edit");
        const std::vector<unsigned char> before = Bytes(window.Config());
        log.clear();
        prompts.messages.clear();
        prompts.fileAnswers = {PathOf(c.file)};

        ChooseMenuItem(window, "&Open Configuration...");

        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages[0].startsWith(c.message)) << prompts.messages[0].toStdString();
        EXPECT_TRUE(prompts.messages[0].contains(c.reason)) << prompts.messages[0].toStdString();
        EXPECT_EQ(Bytes(window.Config()), before);
        EXPECT_TRUE(log.empty()) << "no page may reload";
        EXPECT_EQ(Page(TabOutput)->edit->text(), "unsaved edit");
    }
}

TEST_F(FileCommands, SaveWritesTheImageOfWhatThePagesShow)
{
    // Saving right after start writes the defaults as the pages store them.
    prompts.fileAnswers = {PathOf("defaults.cfg")};
    ChooseMenuItem(window, "&Save Configuration...");

    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_TRUE(prompts.fileRequests[0].save);
    EXPECT_EQ(prompts.fileRequests[0].filter, kConfigFilter);
    EXPECT_EQ(prompts.fileRequests[0].defaultSuffix, "cfg");
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(log, (Log{"store Communication", "store Output", "store Smoothing", "store Site"}));

    const QByteArray saved = ReadFile(PathOf("defaults.cfg"));
    ASSERT_EQ(saved.size(), 435);
    const unsigned char header[14] = {0x13, 0x58, 0x23, 0x11, 0x00, 0x00, 0xA5,
                                      0x01, 0x33, 0x7B, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(saved.left(14), QByteArray(reinterpret_cast<const char*>(header), 14));

    // A value typed on the page in view is saved without leaving the page.
    window.TabControl()->setCurrentIndex(TabSmoothing);
    Page(TabSmoothing)->edit->setText("Spillway");
    prompts.fileAnswers = {PathOf("defaults.cfg")};
    ChooseMenuItem(window, "&Save Configuration...");

    UnitConfig reread{};
    std::ifstream in(PathOf("defaults.cfg").toStdString(), std::ios::binary);
    std::string errorText;
    ASSERT_TRUE(ReadConfigImage(reread, in, errorText)) << errorText;
    EXPECT_STREQ(reread.instrumentName[2], "Spillway");
}

TEST_F(FileCommands, CancelledSaveKeepsWhatThePagesStored)
{
    Page(TabSite)->edit->setText("Kept");
    prompts.fileAnswers = {""};

    ChooseMenuItem(window, "&Save Configuration...");

    EXPECT_STREQ(window.Config().siteName, "Kept");
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(folder.isValid() && QDir(folder.path()).isEmpty());
}

TEST_F(FileCommands, FailedSaveShowsTheReasonAndKeepsTheOldFile)
{
    // Writes beyond this size fail with EFBIG, even for root; the signal is not wanted.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previousLimit{};
    getrlimit(RLIMIT_FSIZE, &previousLimit);

    WriteFile(PathOf("a-file"), "not a folder");
    WriteFile(PathOf("old.cfg"), "the old file");
    struct Case {
        QString target;
        rlim_t fileSizeLimit;
        int reason;
    };
    const Case cases[] = {
        {PathOf("a-file/new.cfg"), RLIM_INFINITY, ENOTDIR},
        {PathOf("old.cfg"), 100, EFBIG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(strerror(c.reason));
        prompts.messages.clear();
        prompts.fileAnswers = {c.target};
        rlimit limit = previousLimit;
        limit.rlim_cur = std::min(c.fileSizeLimit, previousLimit.rlim_max);
        setrlimit(RLIMIT_FSIZE, &limit);

        ChooseMenuItem(window, "&Save Configuration...");

        setrlimit(RLIMIT_FSIZE, &previousLimit);
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages[0].contains(QString::fromLocal8Bit(strerror(c.reason))))
            << prompts.messages[0].toStdString();
    }
    (void)std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(ReadFile(PathOf("old.cfg")), "the old file");
    EXPECT_EQ(ReadFile(PathOf("a-file")), "not a folder");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"a-file", "old.cfg"}))
        << "no temporary file may be left behind";
}
