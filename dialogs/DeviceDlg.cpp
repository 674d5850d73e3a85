#include "dialogs/DeviceDlg.h"

#include <QBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "dialogs/UserPrompts.h"

QLabel* BuddyLabel(const char* text, QWidget* buddy)
{
    auto* label = new QLabel(QString::fromLatin1(text));
    label->setBuddy(buddy);
    return label;
}

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

QBoxLayout* CDeviceDlg::MakeButtons(const QString& startText, const char* startName,
                                    const std::function<void()>& onStart,
                                    Qt::Orientation orientation)
{
    auto* start = new QPushButton(startText);
    start->setObjectName(QString::fromLatin1(startName));
    start->setDefault(true);
    auto* exit = new QPushButton(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("exitButton"));
    connect(start, &QPushButton::clicked, this, onStart);
    connect(exit, &QPushButton::clicked, this, &CDeviceDlg::reject);
    lockedButtons = {start, exit};

    if (orientation == Qt::Vertical) {
        auto* column = new QVBoxLayout;
        column->addWidget(start);
        column->addWidget(exit);
        column->addStretch();
        return column;
    }
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(start);
    row->addWidget(exit);
    return row;
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
