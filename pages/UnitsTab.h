// The Site page. Its controls are still to come.
#pragma once

#include "pages/ConfigPage.h"

class CUnitsTab final : public CConfigPage {
    Q_OBJECT

public:
    explicit CUnitsTab(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override {}
    void StoreToConfig() override {}
};
