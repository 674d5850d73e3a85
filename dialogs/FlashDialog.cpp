#include "dialogs/FlashDialog.h"

#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "device/FlashRun.h"
#include "dialogs/SerialChoice.h"

namespace {

const QString kRememberedAs = QStringLiteral("FlashDialog");

}  // namespace

CFlashDialog::CFlashDialog(const QString& softwarePath, QWidget* parent, const CommTimings& timings)
    : CDeviceDialog(parent), softwarePath(softwarePath), timings(timings)
{
    setWindowTitle(tr("Flash Software "));

    portList = NewPortList("portList");
    connectBaudList = NewBaudList("connectBaudList");
    downloadBaudList = NewBaudList("downloadBaudList");
    PreselectRemembered(kRememberedAs, {portList, connectBaudList, downloadBaudList});

    auto* connection = new QGroupBox(tr("Connection"));
    auto* grid = new QGridLayout(connection);
    const struct {
        QString label;
        QComboBox* list;
        QString unit;
    } rows[] = {{tr("Port:"), portList, QString()},
                {tr("Connect at"), connectBaudList, tr("baud")},
                {tr("Download at"), downloadBaudList, tr("baud")}};
    for (int row = 0; row < 3; ++row) {
        grid->addWidget(BuddyLabel(rows[row].label, rows[row].list), row, 0);
        if (!rows[row].unit.isEmpty()) {
            grid->addWidget(rows[row].list, row, 1);
            grid->addWidget(new QLabel(rows[row].unit), row, 2);
        } else {
            grid->addWidget(rows[row].list, row, 1, 1, 2);
        }
    }
    grid->setColumnStretch(1, 1);

    QProgressBar* progress = MakeProgressBar();
    progress->setRange(0, 100);
    const std::string name = SoftwareDisplayName(QFile::encodeName(softwarePath).toStdString());
    QLabel* status = MakeStatusLine(
        QString::fromLatin1(kStatusReadyToFlashPrefix) + QFile::decodeName(name.c_str()), 2);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(connection);
    layout->addWidget(progress);
    layout->addWidget(status);
    layout->addLayout(MakeButtons(
        tr("&Flash Software"), "flashButton", [this] { OnFlash(); }, Qt::Horizontal));
    // A flash cannot be taken back: it starts from a click or Alt+F, never from a stray Enter.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setDefault(false);
        button->setAutoDefault(false);
    }
}

void CFlashDialog::OnFlash()
{
    RememberChoices(kRememberedAs, {portList, connectBaudList, downloadBaudList});
    UnitConnection connection;
    connection.port = ChosenPort(*portList).value_or(std::string());
    connection.baudRate = ChosenBaudRate(*connectBaudList).value_or(0);
    connection.timings = timings;
    FlashOptions options;
    options.downloadBaudRate = ChosenBaudRate(*downloadBaudList).value_or(0);
    options.softwarePath = QFile::encodeName(softwarePath).toStdString();
    // Every outcome is told in the status line as the run goes, a cancelled run's too
    // ("Download aborted at user request").
    RunOperation(
        [connection, options](COperationObserver& observer, std::string& errorText) {
            return FlashSoftware(connection, options, observer, errorText);
        },
        [this](bool, const QString&) { Unlock(); });
}
