#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "tests/app/AppTestSupport.h"
#include "tests/gui/ScriptedPrompts.h"

namespace {

using Log = std::vector<std::string>;

}  // namespace

TEST(PageContract, ChangingTabStoresThePageLeftThenLoadsThePageEntered)
{
    Log log;
    CSluiceConfigDlg window(FakePages(log));
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    CMyTabCtrl* tabs = window.TabControl();

    struct Step {
        int tab;
        Log calls;
    };
    const Step steps[] = {
        {TabOutput, {"store Site", "load Output"}},
        {TabOutput, {}},  // the current tab again: nothing
        {TabAlarms, {"store Output", "load Alarms"}},
        {TabAlarms, {}},
        {TabSmoothing, {"load Smoothing"}},  // leaving Alarms stores nothing
        {TabCommunication, {"store Smoothing", "load Communication"}},
        {TabSite, {"store Communication", "load Site"}},
    };
    for (const Step& step : steps) {
        log.clear();
        ClickTab(tabs, step.tab);
        EXPECT_EQ(log, step.calls) << "to tab " << step.tab;
        EXPECT_EQ(tabs->currentIndex(), step.tab);
        EXPECT_EQ(QApplication::focusWidget(), FakePage(tabs, ConfigTab(step.tab))->edit)
            << "to tab " << step.tab;
    }
}

TEST(PageContract, ValueTypedOnOnePageIsInTheRecordWhenTheNextLoads)
{
    Log log;
    CSluiceConfigDlg window(FakePages(log));
    window.show();
    CMyTabCtrl* tabs = window.TabControl();

    FakePage(tabs, TabSite)->edit->setText("Weir 7");
    ClickTab(tabs, TabOutput);
    EXPECT_STREQ(window.Config().siteName, "Weir 7");
}

TEST(PageContract, MakeStoreAndReloadPagesInTheirOrder)
{
    Log log;
    UnitConfig record{};
    CMyTabCtrl tabs(&record, FakePages(log));
    EXPECT_EQ(log, (Log{"load Site", "load Communication", "load Alarms", "load Output",
                        "load Smoothing"}));

    log.clear();
    tabs.StorePages();
    EXPECT_EQ(log, (Log{"store Communication", "store Output", "store Smoothing", "store Site"}));

    log.clear();
    tabs.ReloadPages();
    EXPECT_EQ(log, (Log{"load Communication", "load Alarms", "load Output", "load Site",
                        "load Smoothing"}));
}

TEST(DeviceCommands, SendStoresPagesThenShowsOutputAndSmoothingAsStored)
{
    Log log;
    CSluiceConfigDlg window(FakePages(log));
    log.clear();
    CScriptedPrompts prompts;
    ChooseMenuItem(window, "&Send Configuration...");
    EXPECT_EQ(log, (Log{"store Communication", "store Output", "store Smoothing", "store Site",
                        "load Output", "load Smoothing"}));
    EXPECT_EQ(prompts.dialogs, QStringList{"Connect"});
}

TEST(DeviceCommands, CancellingTheSoftwareFileChoiceDoesNothing)
{
    Log log;
    CSluiceConfigDlg window(FakePages(log));
    const std::vector<unsigned char> before = Bytes(window.Config());
    log.clear();

    CScriptedPrompts prompts;
    prompts.fileAnswers = {""};
    ChooseMenuItem(window, "&Flash Software");

    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_FALSE(prompts.fileRequests[0].save);
    EXPECT_EQ(prompts.fileRequests[0].filter, "Weirlink Software Files (*.bin)|*.bin||");
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(Bytes(window.Config()), before);
}
