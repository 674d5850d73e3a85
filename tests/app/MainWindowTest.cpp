#include <gtest/gtest.h>

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include "app/AboutDlg.h"
#include "tests/app/AppTestSupport.h"

namespace {

struct MenuTexts {
    QString title;
    QStringList items;
};

std::vector<MenuTexts> MenusOf(QMenuBar* bar)
{
    std::vector<MenuTexts> menus;
    for (QAction* menuAction : bar->actions()) {
        MenuTexts menu{menuAction->text(), {}};
        for (QAction* item : menuAction->menu()->actions())
            if (!item->isSeparator()) menu.items << item->text();
        menus.push_back(menu);
    }
    return menus;
}

QString ShortcutOf(CSluiceConfigDlg& window, const QString& text)
{
    for (QAction* action : window.findChildren<QAction*>())
        if (action->text() == text) return action->shortcut().toString();
    return QStringLiteral("(no item)");
}

}  // namespace

TEST(MainWindow, StartsWithDefaultsTitleMenusAndTabs)
{
    CSluiceConfigDlg window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_EQ(window.windowTitle(), "Weirlink  Configuration");
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the window must not be resizable";

    UnitConfig defaults{};
    SetDefaults(defaults);
    EXPECT_EQ(Bytes(window.Config()), Bytes(defaults));

    const std::vector<MenuTexts> menus = MenusOf(window.findChild<QMenuBar*>());
    const std::vector<MenuTexts> expected = {
        {"&File", {"&Open Configuration...", "&Save Configuration...", "E&xit"}},
        {"&Program", {"&Send Configuration...", "&Read Configuration..."}},
        {"&Software", {"&Flash Software"}},
        {"&Help", {"&About Weirlink Config..."}},
    };
    ASSERT_EQ(menus.size(), expected.size());
    for (std::size_t i = 0; i < menus.size(); ++i) {
        EXPECT_EQ(menus[i].title, expected[i].title);
        EXPECT_EQ(menus[i].items, expected[i].items) << menus[i].title.toStdString();
    }
    EXPECT_EQ(ShortcutOf(window, "&Open Configuration..."), "Ctrl+O");
    EXPECT_EQ(ShortcutOf(window, "&Save Configuration..."), "Ctrl+S");
    EXPECT_EQ(ShortcutOf(window, "E&xit"), "Ctrl+Q");

    CMyTabCtrl* tabs = window.TabControl();
    const QStringList titles = {"Site", "Communication", "Alarms", "Output", "Smoothing"};
    ASSERT_EQ(tabs->count(), titles.size());
    for (int i = 0; i < tabs->count(); ++i) EXPECT_EQ(tabs->tabText(i), titles[i]);
    EXPECT_EQ(tabs->currentIndex(), TabSite);
    EXPECT_TRUE(tabs->Page(TabSite)->isVisible());
}

TEST(MainWindow, EscapeClosesItButNotFromAPageAndEnterDoesNothing)
{
    std::vector<std::string> log;
    CSluiceConfigDlg window(FakePages(log));
    QSignalSpy finished(&window, &QDialog::finished);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTest::keyClick(&window, Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_Enter);
    EXPECT_TRUE(window.isVisible());

    QLineEdit* field = FakePage(window.TabControl(), TabSite)->edit;
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(field, key);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(finished.count(), 0);

    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), 0);
}

TEST(AboutBox, ShowsIconVersionAndOk)
{
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), "About Weirlink Config");

    QStringList texts;
    bool hasIcon = false;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) texts << label->text();
        if (!label->pixmap().isNull()) hasIcon = true;
    }
    EXPECT_EQ(texts, QStringList{"Weirlink Config Version 1.03"});
    EXPECT_TRUE(hasIcon);

    const auto buttons = about.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), "OK");
    about.show();
    QSignalSpy accepted(&about, &QDialog::accepted);
    QTest::keyClick(&about, Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 1) << "OK is the default button";
}
