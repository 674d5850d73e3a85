// The Test Analog Outputs dialog: makes a unit drive one of its analog output channels at a
// current the user enters. Each press of "Test Output" is one complete exchange.
#pragma once

#include "comm/Communications.h"
#include "config/UnitConfig.h"
#include "dialogs/DeviceDialog.h"

class QComboBox;
class QLineEdit;

class CTestOutputDialog final : public CDeviceDialog {
    Q_OBJECT

public:
    // Offers the channels the record says the unit has.
    explicit CTestOutputDialog(const UnitConfig& config, QWidget* parent = nullptr,
                               const CommTimings& timings = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A current typed in another form shows as one with two decimals; any other text stays as
    // typed, and the output test refuses it.
    void NormaliseValue();
    void OnTestOutput();

    const CommTimings timings;

    QComboBox* portList;
    QComboBox* baudList;
    QComboBox* channelList;
    QLineEdit* valueEdit;
};
