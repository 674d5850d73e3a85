// The Connect dialog: reads the configuration out of a unit into the record, or programs a
// unit with the record, over the port and at the rate the user picks.
#pragma once

#include "comm/Communications.h"
#include "config/UnitConfig.h"
#include "dialogs/DeviceDialog.h"

class QCheckBox;
class QComboBox;

class CConnectDialog final : public CDeviceDialog {
    Q_OBJECT

public:
    // config is the main window's record; it outlives the dialog. In read mode a successful
    // read replaces it and closes the dialog; in send mode it is only read.
    CConnectDialog(UnitConfig* config, bool readMode, QWidget* parent = nullptr,
                   const CommTimings& timings = {});

    // True once a read has replaced the record (the dialog has then closed itself).
    bool ReadSucceeded() const { return readSucceeded; }
    // The port as the list names it: "COM 1 (simulated unit)".
    QString PortName() const;

private:
    void OnProgram();
    void StartRead(const UnitConnection& connection);
    void StartSend(const UnitConnection& connection);
    // The failed step's text in a message box, then the dialog is ready for another try.
    void ShowFailure(const QString& errorText);

    UnitConfig* const config;
    const bool readMode;
    const CommTimings timings;
    bool readSucceeded = false;

    QComboBox* portList;
    QComboBox* baudList;
    QCheckBox* synchronizeTime;
    QCheckBox* zeroTotalizer;
};
