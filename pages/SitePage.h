// The Site page: the site name, the three instrument slots, what the LCD shows, the display
// units, the totalizer mode and when the unit clears all its data.
#pragma once

#include <array>
#include <cstdint>

#include "pages/ConfigPage.h"

class CClearCountRow;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

class CSitePage final : public CConfigPage {
    Q_OBJECT

public:
    explicit CSitePage(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override;
    void StoreToConfig() override;

private:
    struct InstrumentControls {
        QComboBox* type;
        QLineEdit* name;
        QCheckBox* timeout;
        QLineEdit* seconds;
    };

    QWidget* CreateInstrumentGroup(int instrument);
    QWidget* CreateLcdGroup();
    QWidget* CreateUnitsGroup();
    QWidget* CreateTotalizerGroup();
    QWidget* CreateErrorGroup();

    // The cycle time slider moved or an instrument's model was chosen: the labels and the
    // enabling follow the record.
    void OnTimeoutClicked(int instrument);
    void OnClearAllDataClicked();
    void OnClearCountStepped(int direction);

    QLineEdit* siteName = nullptr;
    std::array<QCheckBox*, 5> lcdShow{};
    QSlider* cycleTime = nullptr;
    QLabel* cycleTimeText = nullptr;
    QCheckBox* lcdBacklight = nullptr;
    std::array<QComboBox*, 5> unitLists{};
    std::array<InstrumentControls, 3> instruments{};
    CClearCountRow* clearAllData = nullptr;
    QButtonGroup* totalizerMode = nullptr;

    // The last valid time-out seen in an instrument's field when its box was cleared,
    // offered again when the box is ticked. Not part of the record.
    std::array<std::int16_t, 3> lastTimeout = {1800, 1800, 1800};
};
