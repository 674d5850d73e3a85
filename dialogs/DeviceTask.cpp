#include "dialogs/DeviceTask.h"

#include <QByteArrayView>
#include <QStringDecoder>
#include <algorithm>
#include <climits>

QString DeviceText(const std::string& text)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8(QByteArrayView(text.data(), qsizetype(text.size())));
    if (!utf8.hasError()) return decoded;
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

CDeviceTask::CDeviceTask(QObject* parent) : QObject(parent) {}

CDeviceTask::~CDeviceTask()
{
    if (worker.joinable()) worker.join();
}

void CDeviceTask::Start(Work work, Done whenDone)
{
    if (running) return;
    running = true;
    stopRequested = false;
    done = std::move(whenDone);
    worker = std::thread([this, work = std::move(work)] {
        std::string errorText;
        const bool succeeded = RunGuarded(errorText, [&] { return work(*this, errorText); });
        // Posted after every report of the work, so it is handled after them.
        QMetaObject::invokeMethod(
            this, [this, succeeded, text = DeviceText(errorText)] { Finish(succeeded, text); },
            Qt::QueuedConnection);
    });
}

void CDeviceTask::Finish(bool succeeded, const QString& errorText)
{
    worker.join();
    running = false;
    // Taken out first: the completion may start the next operation.
    const Done whenDone = std::exchange(done, nullptr);
    if (whenDone) whenDone(succeeded, errorText);
}

void CDeviceTask::ShowStatus(const std::string& text)
{
    QMetaObject::invokeMethod(
        this, [this, status = DeviceText(text)] { emit statusChanged(status); },
        Qt::QueuedConnection);
}

void CDeviceTask::ShowProgress(std::size_t current, std::size_t maximum)
{
    // A progress bar counts in int; the operations report steps and percents, far below.
    const auto bar = [](std::size_t value) {
        return static_cast<int>(std::min<std::size_t>(value, INT_MAX));
    };
    QMetaObject::invokeMethod(
        this,
        [this, current = bar(current), maximum = bar(maximum)] {
            emit progressChanged(current, maximum);
        },
        Qt::QueuedConnection);
}
