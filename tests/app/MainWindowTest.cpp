// The main window with pages that log their loads and stores: its frame, the page contract,
// and what the file and device commands store, load and write.
#include <sys/resource.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>

#include "app/Application.h"
#include "config/ConfigFile.h"
#include "dialogs/UserPrompts.h"
#include "tests/app/AppTestSupport.h"

namespace {

const Log kStoreLog = {"store Communication", "store Site", "store Output", "store Smoothing"};

class MainWindow : public testing::Test {
protected:
    MainWindow() { ShowActive(window); }

    CFakePage* Page(ConfigTab tab) const
    {
        return static_cast<CFakePage*>(window.Tabs()->Page(tab));
    }
    QString PathOf(const char* name) const { return folder.filePath(name); }

    // A menu command, with `path` as the answer to its file dialog ("" cancels).
    void Command(const char* item, const QString& path = {})
    {
        log.clear();
        prompts.messages.clear();
        prompts.fileRequests.clear();
        prompts.fileAnswers = {path};
        ChooseMenuItem(window, item);
    }

    QTemporaryDir folder;
    Log log;
    CScriptedPrompts prompts;
    CMainWindow window{FakePages(log)};
};

}  // namespace

TEST_F(MainWindow, StartsWithDefaultsTitleMenusAndTabsAndClosesOnEscapeOnly)
{
    EXPECT_EQ(Differences(window.Config(), DefaultRecord()), Offsets{});
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the window must not be resizable";
    QStringList shown{window.windowTitle()};
    for (QAction* menu : window.findChild<QMenuBar*>()->actions()) {
        shown << menu->text();
        for (QAction* item : menu->menu()->actions())
            if (!item->isSeparator())
                shown << "  " + item->text() + " " + item->shortcut().toString();
    }
    for (int i = 0; i < kTabCount; ++i) shown << "tab " + window.Tabs()->tabText(i);
    EXPECT_EQ(shown, (QStringList{
                         "Weirlink  Configuration", "&File", "  &Open Configuration... Ctrl+O",
                         "  &Save Configuration... Ctrl+S", "  &Compare with File... ",
                         "  E&xit Ctrl+Q", "&Program", "  &Send Configuration... ",
                         "  &Read Configuration... ", "  &Compare with Unit... ", "&Software",
                         "  &Flash Software ", "&Help", "  &About Weirlink Config... ", "tab Site",
                         "tab Communication", "tab Alarms", "tab Output", "tab Smoothing"}));

    QTest::keyClick(&window, Qt::Key_Return);
    QTest::keyClick(Page(TabSite)->edit, Qt::Key_Escape);  // the page keeps it
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindow, ChangingTabStoresThePageLeftThenLoadsAndFocusesThePageEntered)
{
    const std::pair<ConfigTab, Log> steps[] = {
        {TabOutput, {"store Site", "load Output"}},
        {TabOutput, {}},  // the current tab again: nothing
        {TabAlarms, {"store Output", "load Alarms"}},
        {TabSmoothing, {"load Smoothing"}},  // leaving Alarms stores nothing
        {TabCommunication, {"store Smoothing", "load Communication"}},
        {TabSite, {"store Communication", "load Site"}},
    };
    for (const auto& [tab, calls] : steps) {
        log.clear();
        ClickTab(window.Tabs(), tab);
        EXPECT_EQ(log, calls) << "to tab " << tab;
        EXPECT_EQ(QApplication::focusWidget(), Page(tab)->edit) << "to tab " << tab;
    }
}

// The file comes from Open's file dialog, from the command line at start, or dropped on the
// window: the same checks, the same messages, the same reload.
TEST_F(MainWindow, OpenReplacesRecordAndPagesOnlyWithAGoodFileHoweverItIsGiven)
{
    UnitConfig station = DefaultRecord();
    std::strcpy(station.siteName, "Pump 3");
    QByteArray damaged = ImageOf(station);
    damaged[100] = char(damaged[100] ^ 0x01);
    WriteFile(PathOf("damaged.cfg"), damaged);
    WriteFile(PathOf("station.cfg"), ImageOf(station));
    // A pipe would hold the window in open() until someone wrote to it.
    const QString pipe = PathOf("pipe.cfg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    enum Way { Menu, AtStart, Dropped };
    for (const Way way : {Menu, AtStart, Dropped}) {
        CMainWindow opened{FakePages(log)};
        ShowActive(opened);
        auto* site = static_cast<CFakePage*>(opened.Tabs()->Page(TabSite));
        site->edit->setText("unsaved edit");
        const UnitConfig before = opened.Config();
        auto open = [&](const QString& path) {
            log.clear();
            prompts.messages.clear();
            prompts.fileRequests.clear();
            prompts.fileAnswers = {path};
            // Unsaved changes are given up without asking: the question has tests of its own.
            prompts.unsavedAnswers = {CUserPrompts::UnsavedChoice::Discard};
            if (way == Menu) {
                ChooseMenuItem(opened, "&Open Configuration...");
            } else if (way == AtStart) {
                opened.OpenConfigFile(CApplication::FileArgument({"weirlink-config", path}));
            } else {
                EXPECT_TRUE(DropFile(opened, path));
            }
        };

        const std::pair<QString, QString> cases[] = {
            {QString(), QString()},
            {PathOf("damaged.cfg"), kImageChecksumText},
            {pipe, QString(kFileOpenErrorText) + "\n" + pipe + ": not a regular file"}};
        for (const auto& [path, message] : cases) {
            if (path.isEmpty() && way != Menu) continue;  // no file, no start or drop
            open(path);
            EXPECT_EQ(prompts.messages, message.isEmpty() ? QStringList{} : QStringList{message})
                << way;
            EXPECT_EQ(Differences(opened.Config(), before), Offsets{}) << way;
            EXPECT_TRUE(log.empty()) << "no page may reload";
            EXPECT_EQ(site->edit->text(), "unsaved edit");
        }

        open(PathOf("station.cfg"));
        EXPECT_EQ(prompts.fileRequests.size(), way == Menu ? 1u : 0u);
        EXPECT_TRUE(prompts.messages.isEmpty()) << way;
        EXPECT_EQ(Differences(opened.Config(), station), Offsets{}) << way;
        // The pages store what they loaded at once: it is the record the window compares with.
        Log reloadedThenStored = {"load Communication", "load Alarms", "load Output", "load Site",
                                  "load Smoothing"};
        reloadedThenStored.insert(reloadedThenStored.end(), kStoreLog.begin(), kStoreLog.end());
        EXPECT_EQ(log, reloadedThenStored) << way;
        EXPECT_EQ(site->edit->text(), "Pump 3");
        EXPECT_TRUE(opened.windowTitle().startsWith("station.cfg")) << way;
    }

    // Only one local file is taken from a drag; the command line's first name is the file.
    EXPECT_FALSE(DropFile(window, {PathOf("station.cfg"), PathOf("damaged.cfg")}));
    EXPECT_FALSE(DropFile(window, QStringList{}));
    EXPECT_EQ(CApplication::FileArgument({"weirlink-config"}), "");
    EXPECT_EQ(CApplication::FileArgument({"weirlink-config", "--", "-odd.cfg"}), "-odd.cfg");
}

TEST_F(MainWindow, SaveStoresEveryPageFirstAndAFailedOneKeepsTheOldFile)
{
    // The page in view is stored too; a cancelled save keeps what the pages stored.
    Page(TabSite)->edit->setText("Kept");
    Command("&Save Configuration...");
    EXPECT_EQ(log, kStoreLog);

    Command("&Save Configuration...", PathOf("site.cfg"));
    const CScriptedPrompts::FileRequest& request = prompts.fileRequests.at(0);
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.filter + " " + request.defaultSuffix, "Configuration Files (*.cfg) cfg");
    EXPECT_TRUE(prompts.messages.isEmpty());
    const QByteArray saved = ReadFile(PathOf("site.cfg"));
    EXPECT_EQ(saved, ImageOf(window.Config()));

    // Writes beyond this size fail with EFBIG, even for root; the signal is not wanted.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previousLimit{};
    getrlimit(RLIMIT_FSIZE, &previousLimit);
    rlimit limit = previousLimit;
    limit.rlim_cur = std::min<rlim_t>(100, previousLimit.rlim_max);
    setrlimit(RLIMIT_FSIZE, &limit);
    Page(TabSite)->edit->setText("Lost");
    Command("&Save Configuration...", PathOf("site.cfg"));
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(prompts.messages.value(0).contains(QString::fromLocal8Bit(std::strerror(EFBIG))))
        << prompts.messages.value(0).toStdString();
    EXPECT_EQ(ReadFile(PathOf("site.cfg")), saved);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"site.cfg"})
        << "no temporary file may be left behind";
}

TEST_F(MainWindow, DeviceCommandsStoreAndReloadOnlyWhatTheyConcern)
{
    // A send shows again what the pages that convert units stored; a read that did not
    // succeed (here: never started) reloads nothing.
    Command("&Send Configuration...");
    Log expected = kStoreLog;
    expected.insert(expected.end(), {"load Output", "load Smoothing"});
    EXPECT_EQ(log, expected);
    Command("&Read Configuration...");
    EXPECT_TRUE(log.empty());

    // A flash has no part in the record; it opens for the file chosen, if one is.
    QString status;
    prompts.dialogDriver = [&](QDialog& dialog) {
        status = dialog.findChild<QLabel*>("statusLine")->text();
    };
    Command("&Flash Software");
    EXPECT_EQ(prompts.fileRequests.at(0).filter, "Weirlink Software Files (*.bin)");
    Command("&Flash Software", PathOf("unit.bin"));
    EXPECT_EQ(status, "Ready to flash unit.bin");
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(prompts.dialogs, (QStringList{"Connect", "Connect", "Flash Software "}));
}
