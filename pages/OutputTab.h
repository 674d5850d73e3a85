// The Output page. Its controls are still to come.
#pragma once

#include "pages/ConfigPage.h"

class COutputTab final : public CConfigPage {
    Q_OBJECT

public:
    explicit COutputTab(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override {}
    void StoreToConfig() override {}
};
