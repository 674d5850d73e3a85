#include "pages/SystemTab.h"

CSystemTab::CSystemTab(UnitConfig* config, QWidget* parent) : CConfigPage(config, parent)
{
    LoadFromConfig();
}
