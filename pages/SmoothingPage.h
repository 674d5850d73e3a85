// The Smoothing page: how the unit smooths flow, velocity and depth, whether its LCD shows
// the smoothed values, and after how many bad readings it clears them.
#pragma once

#include <array>

#include "pages/ConfigPage.h"

class CClearCountRow;
class CValueEdit;
class QCheckBox;
class QLabel;
class QSlider;

class CSmoothingPage final : public CConfigPage {
    Q_OBJECT

public:
    explicit CSmoothingPage(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override;
    void StoreToConfig() override;

private:
    struct QuantityControls {
        QSlider* slider;
        QLabel* factor;
        CValueEdit* band;
        QLabel* bandUnits;
        CValueEdit* zeroBelow;
        QLabel* zeroBelowUnits;
    };

    QWidget* CreateQuantityGroup(int quantity);
    QWidget* CreateOutputGroup();
    QWidget* CreateBadDataGroup();

    void OnClearSmoothedClicked();
    void OnClearCountStepped(int direction);

    std::array<QuantityControls, 3> quantities{};
    QCheckBox* showSmoothed = nullptr;
    CClearCountRow* clearSmoothed = nullptr;
};
