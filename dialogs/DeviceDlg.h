// What the three unit dialogs share: a centred status line, an optional progress bar fed by
// the running operation, and a lock that keeps the dialog's buttons disabled and the dialog
// open while an operation runs.
#pragma once

#include <QDialog>
#include <QList>

#include "dialogs/DeviceTask.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CDeviceDlg : public QDialog {
    Q_OBJECT

public:
    bool IsBusy() const { return busy; }

    // Escape, the close box and Exit all end here: ignored while an operation runs.
    void reject() override;

protected:
    explicit CDeviceDlg(QWidget* parent);

    // Room is kept for `lines` lines, so a longer text does not move the other controls.
    QLabel* MakeStatusLine(const QString& text, int lines = 1);
    QProgressBar* MakeProgressBar();
    // The buttons an operation disables for as long as it runs.
    void SetLockedButtons(const QList<QPushButton*>& buttons) { lockedButtons = buttons; }

    // Locks the dialog and starts the work off this thread; done runs here once it has ended.
    // The dialog stays locked until done (or something it starts) calls Unlock.
    void RunOperation(CDeviceTask::Work work, CDeviceTask::Done done);
    void Unlock() { SetBusy(false); }

    void SetStatus(const QString& text);
    // A failed step's text in a message box, behind "Error: ".
    void ShowError(const QString& text);

private:
    void SetBusy(bool value);

    QLabel* statusLine = nullptr;
    QProgressBar* progressBar = nullptr;
    QList<QPushButton*> lockedButtons;
    bool busy = false;
    // Last member: destroyed first, so the worker has ended before anything else goes.
    CDeviceTask task{this};
};
