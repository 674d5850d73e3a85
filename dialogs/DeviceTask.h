// One operation on a unit, run off the user-interface thread. The operation blocks for as
// long as the unit takes; meanwhile the window keeps repainting and its event loop turns.
// What the operation tells its observer arrives on the user-interface thread as signals, in
// the order it was told, and the completion comes after the last of them.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "comm/OperationObserver.h"
#include "device/DeviceOperation.h"

// A device/ text for the screen. Paths and the system's messages come in the locale's
// UTF-8; a failed command line may carry record text, which is Latin-1.
QString DeviceText(const std::string& text);

class CDeviceTask final : public QObject, private COperationObserver {
    Q_OBJECT

public:
    // Runs on the worker thread; true on success, otherwise errorText tells the failed step.
    // What it uses is captured by value or shared: the task outlives the dialog's own members.
    // An exception it throws fails it with a text.
    using Work = std::function<bool(COperationObserver& observer, std::string& errorText)>;
    // Runs on the user-interface thread once the work has ended and the worker is joined.
    using Done = std::function<void(bool succeeded, const QString& errorText)>;

    explicit CDeviceTask(QObject* parent = nullptr);
    // Waits for a running operation to end: the worker must not outlive what it reports to.
    ~CDeviceTask() override;
    CDeviceTask(const CDeviceTask&) = delete;
    CDeviceTask& operator=(const CDeviceTask&) = delete;

    // One operation at a time: a call while one runs does nothing. Clears the stop flag.
    void Start(Work work, Done done);
    // Asks the running operation to stop at its next check.
    void Stop() { stopRequested = true; }

signals:
    void statusChanged(const QString& text);
    void progressChanged(int current, int maximum);

private:
    // On the worker thread: each report is handed to the user-interface thread.
    void ShowStatus(const std::string& text) override;
    void ShowProgress(std::size_t current, std::size_t maximum) override;
    bool StopRequested() const override { return stopRequested; }

    void Finish(bool succeeded, const QString& errorText);

    std::thread worker;
    Done done;
    bool running = false;
    std::atomic<bool> stopRequested{false};
};
