// The Communication page. Its controls are still to come.
#pragma once

#include "pages/ConfigPage.h"

class CSystemTab final : public CConfigPage {
    Q_OBJECT

public:
    explicit CSystemTab(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override {}
    void StoreToConfig() override {}
};
