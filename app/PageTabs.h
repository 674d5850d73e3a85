// The main window's page tabs: one page per tab, and the rules that a page stores its
// controls when it is left and as soon as the user changes one of them, and loads the record
// when it is entered.
#pragma once

#include <QTabWidget>
#include <array>
#include <functional>

#include "config/UnitConfig.h"

class CConfigPage;

enum ConfigTab : int { TabSite, TabCommunication, TabAlarms, TabOutput, TabSmoothing };
inline constexpr int kTabCount = TabSmoothing + 1;

// The pages that copy their controls into the record, in the order a save or a send stores
// them. The Alarms page writes the record as its buttons are used and is not among them.
// The Site page goes before the Output page: an alternate MODBUS port ticked there takes
// instrument 2 away, whatever type the Site page last showed for it.
inline constexpr ConfigTab kStoreOrder[] = {TabCommunication, TabSite, TabOutput, TabSmoothing};
// The order in which the pages refresh after the whole record was replaced.
inline constexpr ConfigTab kReloadOrder[] = {TabCommunication, TabAlarms, TabOutput, TabSite,
                                             TabSmoothing};

// Makes the page of one tab; the page edits *config and loads itself while it is made.
using PageFactory = std::function<CConfigPage*(ConfigTab tab, UnitConfig* config)>;

// The program's own five pages.
CConfigPage* MakeConfigPage(ConfigTab tab, UnitConfig* config);

class CPageTabs : public QTabWidget {
    Q_OBJECT

public:
    // Makes the pages in tab order and shows the first. The record outlives the control.
    CPageTabs(UnitConfig* config, const PageFactory& makePage, QWidget* parent = nullptr);

    CConfigPage* Page(ConfigTab tab) const { return pages[tab]; }

    void StorePages();
    void ReloadPages();

signals:
    // The user changed a control of the page shown, and the record now holds the change.
    void Edited();

private:
    void OnTabChanged(int index);
    // Ctrl+Tab and Ctrl+PgDown turn to the next page, Ctrl+Shift+Tab and Ctrl+PgUp to the one
    // before, from anywhere in the window.
    void AddPageKeys();
    void TurnPage(int step);
    // Every control of the page the user can change reports here.
    void WatchEdits(CConfigPage* page);
    void OnPageEdited();

    std::array<CConfigPage*, kTabCount> pages{};
    // Kept here because QTabWidget reports only the tab being entered.
    int current = TabSite;
};
