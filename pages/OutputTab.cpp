#include "pages/OutputTab.h"

COutputTab::COutputTab(UnitConfig* config, QWidget* parent) : CConfigPage(config, parent)
{
    LoadFromConfig();
}
