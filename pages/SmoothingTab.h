// The Smoothing page. Its controls are still to come.
#pragma once

#include "pages/ConfigPage.h"

class CSmoothingTab final : public CConfigPage {
    Q_OBJECT

public:
    explicit CSmoothingTab(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override {}
    void StoreToConfig() override {}
};
