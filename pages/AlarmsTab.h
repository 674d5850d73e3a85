// The Alarms page. Its controls are still to come.
#pragma once

#include "pages/ConfigPage.h"

class CAlarmsTab final : public CConfigPage {
    Q_OBJECT

public:
    explicit CAlarmsTab(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override {}
};
