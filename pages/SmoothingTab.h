// The Smoothing page. Its controls are still to come.
#pragma once

#include "pages/ConfigPage.h"

class CSmoothingTab : public CConfigPage {
    Q_OBJECT

public:
    explicit CSmoothingTab(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override {}
    void StoreToConfig() override {}
};
