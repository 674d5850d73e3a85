// The desktop program as a technician uses it: the real five pages in the main window, files
// in a scratch folder, and a simulated unit as COM 1 for the Connect dialog.
#pragma once

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>

#include "tests/app/AppTestSupport.h"
#include "tests/dialogs/DialogTestSupport.h"

using Shown = std::vector<std::vector<std::string>>;

inline QWidget* PageOf(const CMainWindow& window, ConfigTab tab)
{
    return window.Tabs()->Page(tab);
}

// The title the window manager shows: Qt's "[*]" becomes "*" while the window is modified.
inline QString ShownTitle(const CMainWindow& window)
{
    return window.windowHandle() ? window.windowHandle()->title() : QString();
}

class WholeProgram : public UnitDialogTest {
protected:
    WholeProgram() { ShowActive(window); }

    QWidget* Page(ConfigTab tab) const { return PageOf(window, tab); }
    void GoTo(ConfigTab tab) const { ClickTab(window.Tabs(), tab); }
    QComboBox* SiteList(const char* group, const char* label) const
    {
        return Labelled<QComboBox>(Group(Page(TabSite), group), label);
    }
    QString Path(const char* name) const { return folder.filePath(name); }

    // "Save Configuration..." with Ctrl+S, answered with the path. The window is made active
    // first, as it is again for a user when a dialog closes.
    void SaveWithKeys(CMainWindow& in, const QString& path)
    {
        ShowActive(in);
        prompts.fileAnswers = {path};
        QTest::keyClick(&in, Qt::Key_S, Qt::ControlModifier);
    }

    // What every page shows, each visited in tab order as the user would: every control's
    // text, choice, tick and position, and whether it is enabled. The Alarms page's controls
    // show the rule of the selected line, so every line is clicked in turn.
    static Shown EveryPageShows(CMainWindow& in)
    {
        Shown pages(kTabCount);
        for (int tab = 0; tab < kTabCount; ++tab) {
            ClickTab(in.Tabs(), tab);
            QWidget* page = in.Tabs()->Page(ConfigTab(tab));
            auto* rules = page->findChild<QListWidget*>("rules");
            for (int line = 0; line < (rules ? rules->count() : 1); ++line) {
                if (rules) ClickLine(rules, line);
                for (const QWidget* control : page->findChildren<QWidget*>()) {
                    QString state = control->isEnabled() ? "" : "(disabled)";
                    for (const char* property : {"text", "currentText", "checked", "value"})
                        state += " " + control->property(property).toString();
                    if (auto* lines = qobject_cast<const QListWidget*>(control))
                        for (int i = 0; i < lines->count(); ++i)
                            state += " | " + lines->item(i)->text();
                    pages[tab].push_back(state.toStdString());
                }
            }
        }
        return pages;
    }

    // Works the Connect dialog that the menu item opens, COM 1 at the offered rate.
    void RunConnect(CMainWindow& from, const char* item)
    {
        prompts.dialogDriver = [&](QDialog& dialog) {
            RunToEnd(dialog, statuses);
            if (dialog.isVisible()) Press(Find<QPushButton>(&dialog, "exitButton"));
        };
        ChooseMenuItem(from, item);
        prompts.dialogDriver = nullptr;
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    }

    QTemporaryDir folder;
    QStringList statuses;
    CMainWindow window;
};
