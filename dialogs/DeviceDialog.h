// What the three unit dialogs share: a centred status line, an optional progress bar fed by
// the running operation, and a lock that keeps the dialog open and its controls disabled
// while an operation runs, with Cancel the one button that works then.
#pragma once

#include <QDialog>
#include <QList>
#include <functional>

#include "dialogs/DeviceTask.h"

class QBoxLayout;
class QLabel;
class QWidget;
class QProgressBar;
class QPushButton;

// A control's label; Alt with its underlined letter, and screen readers, reach the control.
QLabel* BuddyLabel(const QString& text, QWidget* buddy);

class CDeviceDialog : public QDialog {
    Q_OBJECT

public:
    // Escape, the close box and Exit all end here: while an operation runs they cancel it,
    // and the dialog stays open to tell the outcome.
    void reject() override;

protected:
    explicit CDeviceDialog(QWidget* parent);

    // Room is kept for `lines` lines; a longer text makes the dialog taller.
    QLabel* MakeStatusLine(const QString& text, int lines = 1);
    QProgressBar* MakeProgressBar();
    // The button that starts an operation (the default button, named startName), "Cancel"
    // and "Exit": in a row under the dialog, or in a column beside it. While an operation
    // runs, only Cancel is enabled.
    QBoxLayout* MakeButtons(const QString& startText, const char* startName,
                            const std::function<void()>& onStart, Qt::Orientation orientation);

    // Locks the dialog and starts the work off this thread; done runs here once it has ended.
    // The dialog stays locked until done (or something it starts) calls Unlock.
    void RunOperation(CDeviceTask::Work work, CDeviceTask::Done done);
    void Unlock() { SetBusy(false); }

    // Set by Cancel (or Escape, or the close box) during the operation now locking the
    // dialog; the operation sees it through its observer.
    bool CancelRequested() const { return cancelRequested; }
    // The outcome of a cancelled operation: "Cancelled" in the status line, no message.
    void ShowCancelled();

    void SetStatus(const QString& text);
    // A failed step's text in a message box, behind "Error: ".
    void ShowError(const QString& text);

private:
    void SetBusy(bool value);
    void Cancel();

    QLabel* statusLine = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* cancelButton = nullptr;
    QList<QPushButton*> lockedButtons;  // disabled while an operation runs
    QList<QWidget*> lockedChoices;      // the lists and boxes an operation disabled
    bool busy = false;
    bool cancelRequested = false;
    // Last member: destroyed first, so the worker has ended before anything else goes.
    CDeviceTask task{this};
};
