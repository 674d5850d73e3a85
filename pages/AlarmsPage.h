// The Alarms page: the unit's eight alarm rules, one of which may be the sampler pulse.
//
// The page writes a rule into the record as soon as one of its buttons is pressed and then
// reloads itself, so it has nothing to store when it is left. Its condition controls are
// scratch space: every load rebuilds them from the rule of the selected line.
#pragma once

#include <array>
#include <cstdint>

#include "pages/ConfigPage.h"

class CValueEdit;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QListWidget;
class QPushButton;

class CAlarmsPage final : public CConfigPage {
    Q_OBJECT

public:
    explicit CAlarmsPage(UnitConfig* config, QWidget* parent = nullptr);

    void LoadFromConfig() override;

private:
    // The quantities a condition can watch, in list order.
    static constexpr std::array<std::uint8_t, 23> kAlarmQuantities = {
        1, 4, 6, 8, 11, 12, 15, 16, 18, 19, 20, 21, 23, 24, 27, 28, 29, 30, 38, 39, 40, 41, 42};

    // The controls of one condition, "Condition 1:" or "Condition 2:".
    struct ConditionRow {
        QComboBox* instrument;
        QComboBox* quantity;
        QComboBox* compare;
        CValueEdit* threshold;
        QLabel* units;
    };

    QWidget* BuildParameters();
    QWidget* BuildSamplerPulse();
    QWidget* BuildCurrentAlarms();
    // "Condition 1:" or "Condition 2:" in a row of the grid.
    ConditionRow AddConditionRow(QGridLayout* grid, int row, int number);

    void LoadSelectedRule();
    void UpdateUnitLabels();
    void OnJoinChange();
    void OnSetAlarmCondition();
    void OnSetPulseVolume();
    void OnClearSelected();

    // The slot of the selected line, -1 when no line is selected.
    int SelectedSlot() const;
    // The slot a button may write: -1 (and nothing to do) without a selection, or after
    // telling the user that there is no such slot.
    int WritableSlot();
    // Moves the selection past a slot just written, then shows the record again.
    void FinishWrite(int slot);

    void ResetConditionLists();
    void EnableCondition2(bool enable);
    void ShowCondition(const ConditionRow& row, int instrument, int dataType, int compare,
                       std::int32_t threshold);
    int DataTypeAt(const ConditionRow& row) const;
    int DisplayUnitOf(int dataType) const;
    int PulseUnit() const;
    // AND or OR is chosen.
    bool Condition2InUse() const;

    ConditionRow condition1{};
    ConditionRow condition2{};
    QComboBox* join = nullptr;
    QCheckBox* latching = nullptr;
    QComboBox* pulseInstrument = nullptr;
    CValueEdit* pulseVolume = nullptr;
    QLabel* pulseUnits = nullptr;
    QListWidget* rules = nullptr;
};
