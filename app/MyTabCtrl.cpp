#include "app/MyTabCtrl.h"

#include <algorithm>

#include "pages/AlarmsTab.h"
#include "pages/OutputTab.h"
#include "pages/SmoothingTab.h"
#include "pages/SystemTab.h"
#include "pages/UnitsTab.h"

namespace {

const char* const kTabTitles[kTabCount] = {"Site", "Communication", "Alarms", "Output",
                                           "Smoothing"};

bool StoresOnLeave(int tab)
{
    return std::ranges::find(kStoreOrder, tab) != std::end(kStoreOrder);
}

}  // namespace

CConfigPage* MakeConfigPage(ConfigTab tab, UnitConfig* config)
{
    switch (tab) {
        case TabSite: return new CUnitsTab(config);
        case TabCommunication: return new CSystemTab(config);
        case TabAlarms: return new CAlarmsTab(config);
        case TabOutput: return new COutputTab(config);
        case TabSmoothing: return new CSmoothingTab(config);
        case kTabCount: break;
    }
    return nullptr;
}

CMyTabCtrl::CMyTabCtrl(UnitConfig* config, const PageFactory& makePage, QWidget* parent)
    : QTabWidget(parent)
{
    // Every tab stays in sight: the window takes the width the tab titles need.
    setUsesScrollButtons(false);
    for (int tab = 0; tab < kTabCount; ++tab) {
        pages[tab] = makePage(static_cast<ConfigTab>(tab), config);
        addTab(pages[tab], QString::fromLatin1(kTabTitles[tab]));
    }
    setCurrentIndex(TabSite);
    connect(this, &QTabWidget::currentChanged, this, &CMyTabCtrl::OnSelChange);
}

void CMyTabCtrl::StorePages()
{
    for (ConfigTab tab : kStoreOrder) pages[tab]->StoreToConfig();
}

void CMyTabCtrl::ReloadPages()
{
    for (ConfigTab tab : kReloadOrder) pages[tab]->LoadFromConfig();
}

void CMyTabCtrl::OnSelChange(int index)
{
    if (index == current) return;
    // Storing before loading lets the page entered show what the page left has just
    // changed, such as display units or an instrument taken by the MODBUS port.
    if (StoresOnLeave(current)) pages[current]->StoreToConfig();
    pages[index]->LoadFromConfig();
    pages[index]->setFocus(Qt::OtherFocusReason);
    current = index;
}
