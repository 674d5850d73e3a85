#include "pages/AlarmsTab.h"

CAlarmsTab::CAlarmsTab(UnitConfig* config, QWidget* parent) : CConfigPage(config, parent)
{
    LoadFromConfig();
}
