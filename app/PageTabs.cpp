#include "app/PageTabs.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QShortcut>
#include <algorithm>

#include "pages/AlarmsPage.h"
#include "pages/CommunicationPage.h"
#include "pages/CountField.h"
#include "pages/OutputPage.h"
#include "pages/SitePage.h"
#include "pages/SmoothingPage.h"

namespace {

const char* const kTabTitles[kTabCount] = {
    QT_TRANSLATE_NOOP("CPageTabs", "Site"), QT_TRANSLATE_NOOP("CPageTabs", "Communication"),
    QT_TRANSLATE_NOOP("CPageTabs", "Alarms"), QT_TRANSLATE_NOOP("CPageTabs", "Output"),
    QT_TRANSLATE_NOOP("CPageTabs", "Smoothing")};

bool StoresOnLeave(int tab)
{
    return std::ranges::find(kStoreOrder, tab) != std::end(kStoreOrder);
}

}  // namespace

CConfigPage* MakeConfigPage(ConfigTab tab, UnitConfig* config)
{
    switch (tab) {
        case TabSite: return new CSitePage(config);
        case TabCommunication: return new CCommunicationPage(config);
        case TabAlarms: return new CAlarmsPage(config);
        case TabOutput: return new COutputPage(config);
        case TabSmoothing: return new CSmoothingPage(config);
    }
    return nullptr;
}

CPageTabs::CPageTabs(UnitConfig* config, const PageFactory& makePage, QWidget* parent)
    : QTabWidget(parent)
{
    // Every tab stays in sight: the window takes the width the tab titles need.
    setUsesScrollButtons(false);
    for (int tab = 0; tab < kTabCount; ++tab) {
        pages[tab] = makePage(static_cast<ConfigTab>(tab), config);
        addTab(pages[tab], tr(kTabTitles[tab]));
        WatchEdits(pages[tab]);
    }
    setCurrentIndex(TabSite);
    connect(this, &QTabWidget::currentChanged, this, &CPageTabs::OnTabChanged);
    AddPageKeys();
}

void CPageTabs::AddPageKeys()
{
    // Shortcuts come before the control with the focus: a drop-down would otherwise take
    // Ctrl+PgDown as a step through its own entries.
    const std::pair<QKeyCombination, int> keys[] = {
        {Qt::CTRL | Qt::Key_Tab, +1},
        {Qt::CTRL | Qt::Key_PageDown, +1},
        // Shift+Tab arrives as Backtab from most keyboards, as Tab with Shift from some.
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, -1},
        {Qt::CTRL | Qt::Key_PageUp, -1},
    };
    for (const auto& [key, step] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this, [this, step] { TurnPage(step); });
    }
}

void CPageTabs::TurnPage(int step)
{
    // Round from the last page to the first, as tab controls do.
    setCurrentIndex((currentIndex() + step + count()) % count());
}

void CPageTabs::StorePages()
{
    for (ConfigTab tab : kStoreOrder) pages[tab]->StoreToConfig();
}

void CPageTabs::ReloadPages()
{
    for (ConfigTab tab : kReloadOrder) pages[tab]->LoadFromConfig();
}

void CPageTabs::WatchEdits(CConfigPage* page)
{
    // Connected after the page's own handlers, so that they have run when the page stores.
    // Loads set controls without these signals: sliders are set with their signals blocked.
    const auto edited = [this] { OnPageEdited(); };
    for (auto* edit : page->findChildren<QLineEdit*>())
        connect(edit, &QLineEdit::textEdited, this, edited);
    for (auto* list : page->findChildren<QComboBox*>())
        connect(list, &QComboBox::activated, this, edited);
    for (auto* button : page->findChildren<QAbstractButton*>())
        connect(button, &QAbstractButton::clicked, this, edited);
    for (auto* slider : page->findChildren<QAbstractSlider*>())
        connect(slider, &QAbstractSlider::valueChanged, this, edited);
    for (auto* count : page->findChildren<CCountField*>())
        connect(count, &CCountField::Stepped, this, edited);
}

void CPageTabs::OnPageEdited()
{
    // Only the page shown can be edited, and the others stored when they were left: the
    // record holds what the user sees, and the window can tell at once whether it differs
    // from the one last saved.
    pages[current]->StoreToConfig();
    // A change on one page can change what another shows (display units, instrument 2 taken
    // by the alternate MODBUS port). The pages not shown load the record again, so that none
    // keeps an old view that a later store would write back.
    for (ConfigTab tab : kReloadOrder)
        if (tab != current) pages[tab]->LoadFromConfig();
    emit Edited();
}

void CPageTabs::OnTabChanged(int index)
{
    if (index == current) return;
    // Storing before loading lets the page entered show what the page left has just
    // changed, such as display units or an instrument taken by the MODBUS port.
    if (StoresOnLeave(current)) pages[current]->StoreToConfig();
    pages[index]->LoadFromConfig();
    pages[index]->setFocus(Qt::OtherFocusReason);
    current = index;
}
