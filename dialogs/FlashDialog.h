// The Flash Software dialog: loads a software file into a unit through its bootloader. Cancel
// (or Escape, or the close box) stops a run at its next check; a unit already in its
// bootloader is rebooted, and the dialog stays open until the run has ended.
#pragma once

#include "comm/Communications.h"
#include "dialogs/DeviceDialog.h"

class QComboBox;

class CFlashDialog final : public CDeviceDialog {
    Q_OBJECT

public:
    explicit CFlashDialog(const QString& softwarePath, QWidget* parent = nullptr,
                          const CommTimings& timings = {});

private:
    void OnFlash();

    const QString softwarePath;
    const CommTimings timings;

    QComboBox* portList;
    QComboBox* connectBaudList;
    QComboBox* downloadBaudList;
};
