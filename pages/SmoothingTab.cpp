#include "pages/SmoothingTab.h"

CSmoothingTab::CSmoothingTab(UnitConfig* config, QWidget* parent) : CConfigPage(config, parent)
{
    LoadFromConfig();
}
