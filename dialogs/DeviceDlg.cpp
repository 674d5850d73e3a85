#include "dialogs/DeviceDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "dialogs/UserPrompts.h"

CDeviceDlg::CDeviceDlg(QWidget* parent) : QDialog(parent)
{
    connect(&task, &CDeviceTask::statusChanged, this, &CDeviceDlg::SetStatus);
    connect(&task, &CDeviceTask::progressRangeChanged, this, [this](int maximum) {
        if (progressBar) progressBar->setRange(0, maximum);
    });
    connect(&task, &CDeviceTask::progressChanged, this, [this](int position) {
        if (progressBar) progressBar->setValue(position);
    });
}

QLabel* CDeviceDlg::MakeStatusLine(const QString& text, int lines)
{
    statusLine = new QLabel(text);
    statusLine->setObjectName(QStringLiteral("statusLine"));
    statusLine->setAlignment(Qt::AlignCenter);
    // A long text must not widen the dialog: it breaks onto further lines instead.
    statusLine->setWordWrap(true);
    statusLine->setMinimumHeight(lines * statusLine->fontMetrics().lineSpacing());
    return statusLine;
}

QProgressBar* CDeviceDlg::MakeProgressBar()
{
    progressBar = new QProgressBar;
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setTextVisible(false);
    progressBar->setValue(0);
    return progressBar;
}

void CDeviceDlg::SetStatus(const QString& text)
{
    statusLine->setText(text);
}

void CDeviceDlg::ShowError(const QString& text)
{
    UserPrompts().ShowMessage(this, QString::fromLatin1(kErrorPrefix) + text);
}

void CDeviceDlg::reject()
{
    if (!busy) QDialog::reject();
}

void CDeviceDlg::RunOperation(CDeviceTask::Work work, CDeviceTask::Done done)
{
    if (busy) return;
    SetBusy(true);
    task.Start(std::move(work), std::move(done));
}

void CDeviceDlg::SetBusy(bool value)
{
    busy = value;
    for (QPushButton* button : lockedButtons) button->setEnabled(!value);
}
