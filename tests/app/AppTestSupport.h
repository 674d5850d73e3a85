// What the main window tests share: pages that log every load and store, each showing one
// name field of the record in an edit, so tests see both the order of the calls and what a
// page holds; menu items and tabs chosen as the user does; and the files the window reads and
// writes.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QByteArray>
#include <QFile>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "app/MyTabCtrl.h"
#include "app/SluiceConfigDlg.h"
#include "config/ConfigImage.h"
#include "pages/ConfigPage.h"

inline const char* const kFakeTabNames[kTabCount] = {"Site", "Communication", "Alarms", "Output",
                                                     "Smoothing"};

class CFakePage final : public CConfigPage {
public:
    CFakePage(UnitConfig* config, ConfigTab tab, std::vector<std::string>& log)
        : CConfigPage(config), name(kFakeTabNames[tab]), field(FieldOf(config, tab)), log(log)
    {
        edit = new QLineEdit(this);
        (new QVBoxLayout(this))->addWidget(edit);
        LoadFromConfig();
    }

    void LoadFromConfig() override
    {
        log.push_back("load " + name);
        edit->setText(QString::fromLatin1(field.data()));
    }

    // The real Alarms page has nothing to store; this one logs it if it is ever asked.
    void StoreToConfig() override
    {
        log.push_back("store " + name);
        const QByteArray text = edit->text().toLatin1().left(field.size() - 1);
        std::ranges::fill(field, '\0');
        std::memcpy(field.data(), text.constData(), text.size());
    }

    QLineEdit* edit;

private:
    static std::span<char> FieldOf(UnitConfig* config, ConfigTab tab)
    {
        switch (tab) {
            case TabSite: return config->siteName;
            case TabCommunication: return config->modemInitString;
            case TabAlarms: return config->instrumentName[0];
            case TabOutput: return config->instrumentName[1];
            default: return config->instrumentName[2];
        }
    }

    std::string name;
    std::span<char> field;
    std::vector<std::string>& log;
};

// A main window or tab control made with this factory gets fake pages that write to log.
inline PageFactory FakePages(std::vector<std::string>& log)
{
    return [&log](ConfigTab tab, UnitConfig* config) { return new CFakePage(config, tab, log); };
}

inline CFakePage* FakePage(CMyTabCtrl* tabs, ConfigTab tab)
{
    return static_cast<CFakePage*>(tabs->Page(tab));
}

// Shown and active, so that focus moves as it does for a user.
inline void ShowActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Chooses a menu item of the main window as the user would, by its text.
inline void ChooseMenuItem(CSluiceConfigDlg& window, const QString& text)
{
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->text() == text) {
            action->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no menu item " << text.toStdString();
}

// Selects a tab as the user does, with the mouse.
inline void ClickTab(CMyTabCtrl* tabs, int index)
{
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

inline std::vector<unsigned char> Bytes(const UnitConfig& config)
{
    const auto* data = reinterpret_cast<const unsigned char*>(&config);
    return {data, data + sizeof config};
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The bytes of a .cfg file that holds the record.
inline QByteArray ImageOf(const UnitConfig& config)
{
    std::ostringstream out;
    WriteConfigImage(config, out);
    const std::string image = out.str();
    return QByteArray(image.data(), qsizetype(image.size()));
}
