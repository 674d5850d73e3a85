#include "pages/UnitsTab.h"

CUnitsTab::CUnitsTab(UnitConfig* config, QWidget* parent) : CConfigPage(config, parent)
{
    LoadFromConfig();
}
