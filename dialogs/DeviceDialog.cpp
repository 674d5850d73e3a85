#include "dialogs/DeviceDialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "dialogs/UserPrompts.h"

QLabel* BuddyLabel(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

CDeviceDialog::CDeviceDialog(QWidget* parent) : QDialog(parent)
{
    connect(&task, &CDeviceTask::statusChanged, this, &CDeviceDialog::SetStatus);
    connect(&task, &CDeviceTask::progressChanged, this, [this](int current, int maximum) {
        if (!progressBar) return;
        progressBar->setRange(0, maximum);
        progressBar->setValue(current);
    });
}

QLabel* CDeviceDialog::MakeStatusLine(const QString& text, int lines)
{
    statusLine = new QLabel(text);
    statusLine->setObjectName(QStringLiteral("statusLine"));
    statusLine->setAlignment(Qt::AlignCenter);
    // A long text must not widen the dialog: it breaks onto further lines instead.
    statusLine->setWordWrap(true);
    statusLine->setMinimumHeight(lines * statusLine->fontMetrics().lineSpacing());
    return statusLine;
}

QProgressBar* CDeviceDialog::MakeProgressBar()
{
    progressBar = new QProgressBar;
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setTextVisible(false);
    progressBar->setValue(0);
    return progressBar;
}

QBoxLayout* CDeviceDialog::MakeButtons(const QString& startText, const char* startName,
                                       const std::function<void()>& onStart,
                                       Qt::Orientation orientation)
{
    auto* start = new QPushButton(startText);
    start->setObjectName(QString::fromLatin1(startName));
    start->setDefault(true);
    cancelButton = new QPushButton(tr("Cancel"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setEnabled(false);
    auto* exit = new QPushButton(tr("Exit"));
    exit->setObjectName(QStringLiteral("exitButton"));
    connect(start, &QPushButton::clicked, this, onStart);
    connect(cancelButton, &QPushButton::clicked, this, &CDeviceDialog::Cancel);
    connect(exit, &QPushButton::clicked, this, &CDeviceDialog::reject);
    lockedButtons = {start, exit};

    QBoxLayout* box =
        orientation == Qt::Vertical ? static_cast<QBoxLayout*>(new QVBoxLayout) : new QHBoxLayout;
    if (orientation == Qt::Horizontal) box->addStretch();
    for (QPushButton* button : {start, cancelButton, exit}) box->addWidget(button);
    if (orientation == Qt::Vertical) box->addStretch();
    return box;
}

void CDeviceDialog::SetStatus(const QString& text)
{
    statusLine->setText(text);
}

void CDeviceDialog::ShowError(const QString& text)
{
    UserPrompts().ShowMessage(this, QString::fromLatin1(kErrorPrefix) + text);
}

void CDeviceDialog::reject()
{
    if (busy)
        Cancel();
    else
        QDialog::reject();
}

void CDeviceDialog::Cancel()
{
    if (!busy || cancelRequested) return;
    cancelRequested = true;
    task.Stop();
    // Taken: the operation ends at its next check, and tells how it ended.
    if (cancelButton) cancelButton->setEnabled(false);
}

void CDeviceDialog::ShowCancelled()
{
    SetStatus(QString::fromLatin1(kStatusCancelled));
    Unlock();
}

void CDeviceDialog::RunOperation(CDeviceTask::Work work, CDeviceTask::Done done)
{
    if (busy) return;
    cancelRequested = false;
    SetBusy(true);
    task.Start(std::move(work), std::move(done));
}

void CDeviceDialog::SetBusy(bool value)
{
    busy = value;
    for (QPushButton* button : lockedButtons) button->setEnabled(!value);
    if (cancelButton) cancelButton->setEnabled(value);
    // The port and rate lists, the check boxes: a choice made during a run would do nothing.
    if (value) {
        lockedChoices.clear();
        for (QWidget* choice : findChildren<QWidget*>()) {
            if ((qobject_cast<QComboBox*>(choice) || qobject_cast<QCheckBox*>(choice)) &&
                choice->isEnabled()) {
                choice->setEnabled(false);
                lockedChoices.append(choice);
            }
        }
    } else {
        for (QWidget* choice : std::as_const(lockedChoices)) choice->setEnabled(true);
        lockedChoices.clear();
    }
}
