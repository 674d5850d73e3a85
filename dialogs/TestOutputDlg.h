// The Test Analog Outputs dialog: makes a unit drive one of its analog output channels at a
// current the user enters. Each press of "Test Output" is one complete exchange.
#pragma once

#include "comm/Communications.h"
#include "config/UnitConfig.h"
#include "dialogs/DeviceDlg.h"

class QComboBox;
class QLineEdit;

class TestOutputDlg final : public CDeviceDlg {
    Q_OBJECT

public:
    // Offers the channels the record says the unit has.
    explicit TestOutputDlg(const UnitConfig& config, QWidget* parent = nullptr,
                           const CommTimings& timings = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whatever was typed becomes a current the unit can drive, 4.00 to 20.00.
    void NormaliseValue();
    void OnTestOutput();

    const CommTimings timings;

    QComboBox* portList;
    QComboBox* baudList;
    QComboBox* channelList;
    QLineEdit* valueEdit;
};
