// The Flash Software dialog: loads a software file into a unit through its bootloader. A run
// cannot be stopped halfway, so the dialog cannot be closed while one is under way.
#pragma once

#include <memory>

#include "comm/Communications.h"
#include "dialogs/DeviceDlg.h"

class CFlashRun;
class QComboBox;

class CFirmwareDownloadDlg final : public CDeviceDlg {
    Q_OBJECT

public:
    explicit CFirmwareDownloadDlg(const QString& softwarePath, QWidget* parent = nullptr,
                                  const CommTimings& timings = {});
    ~CFirmwareDownloadDlg() override;

private:
    void OnFlash();

    const QString softwarePath;
    // Serves every run of this dialog; the running worker holds it too.
    std::shared_ptr<CFlashRun> flashRun;

    QComboBox* portList;
    QComboBox* connectBaudList;
    QComboBox* downloadBaudList;
};
