#include "dialogs/DeviceTask.h"

#include <QByteArrayView>
#include <QStringDecoder>

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

void CDeviceTask::SetProgressRange(int maximum)
{
    QMetaObject::invokeMethod(
        this, [this, maximum] { emit progressRangeChanged(maximum); }, Qt::QueuedConnection);
}

void CDeviceTask::SetProgress(int position)
{
    QMetaObject::invokeMethod(
        this, [this, position] { emit progressChanged(position); }, Qt::QueuedConnection);
}
