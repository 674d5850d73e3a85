#include "dialogs/ConnectDialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <memory>

#include "device/ConfigTransfer.h"
#include "dialogs/SerialChoice.h"

namespace {

// Long enough to read "Settings loaded successfully" before the dialog goes.
constexpr int kCloseAfterReadMs = 1000;
// What the dialog remembers its port and rate under, for reading and sending alike.
const QString kRememberedAs = QStringLiteral("ConnectDialog");

}  // namespace

CConnectDialog::CConnectDialog(UnitConfig* config, bool readMode, QWidget* parent,
                               const CommTimings& timings)
    : CDeviceDialog(parent), config(config), readMode(readMode), timings(timings)
{
    setWindowTitle(tr("Connect"));

    portList = NewPortList("portList");
    baudList = NewBaudList("baudList");
    PreselectRemembered(kRememberedAs, {portList, baudList});
    auto* serial = new QGroupBox(tr("Serial"));
    auto* serialForm = new QFormLayout(serial);
    serialForm->addRow(BuddyLabel(tr("Port:"), portList), portList);
    serialForm->addRow(BuddyLabel(tr("Baud:"), baudList), baudList);

    synchronizeTime = new QCheckBox(tr("Synchronize unit's time to computer clock"));
    synchronizeTime->setObjectName(QStringLiteral("synchronizeTime"));
    synchronizeTime->setChecked(true);
    zeroTotalizer = new QCheckBox(tr("Zero totalizer"));
    zeroTotalizer->setObjectName(QStringLiteral("zeroTotalizer"));
    // A read takes nothing from them.
    synchronizeTime->setVisible(!readMode);
    zeroTotalizer->setVisible(!readMode);

    const QString startText = readMode ? tr("Read Settings") : tr("Program");
    QBoxLayout* buttons = MakeButtons(
        startText, "programButton", [this] { OnProgram(); }, Qt::Vertical);

    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(serial, 0, 0);
    layout->addLayout(buttons, 0, 1);
    layout->addWidget(synchronizeTime, 1, 0, 1, 2);
    layout->addWidget(zeroTotalizer, 2, 0, 1, 2);
    layout->addWidget(MakeProgressBar(), 3, 0, 1, 2);
    layout->addWidget(MakeStatusLine(QString::fromLatin1(kStatusReady)), 4, 0, 1, 2);
}

QString CConnectDialog::PortName() const
{
    return portList->currentText();
}

void CConnectDialog::OnProgram()
{
    RememberChoices(kRememberedAs, {portList, baudList});
    // The lists cannot be left without a selection.
    UnitConnection connection;
    connection.port = ChosenPort(*portList).value_or(std::string());
    connection.baudRate = ChosenBaudRate(*baudList).value_or(0);
    connection.timings = timings;
    if (readMode)
        StartRead(connection);
    else
        StartSend(connection);
}

void CConnectDialog::StartRead(const UnitConnection& connection)
{
    // Read into a copy: the record changes only together with readSucceeded.
    auto received = std::make_shared<UnitConfig>(*config);
    RunOperation(
        [connection, received](COperationObserver& observer, std::string& errorText) {
            return ReadConfiguration(connection, *received, observer, errorText);
        },
        [this, received](bool succeeded, const QString& errorText) {
            // Cancelled, the record stays as it was even when the read got through.
            if (CancelRequested()) {
                ShowCancelled();
                return;
            }
            if (!succeeded) {
                ShowFailure(errorText);
                return;
            }
            QTimer::singleShot(kCloseAfterReadMs, this, [this, received] {
                if (CancelRequested()) {
                    ShowCancelled();
                    return;
                }
                *config = *received;
                readSucceeded = true;
                accept();
            });
        });
}

void CConnectDialog::StartSend(const UnitConnection& connection)
{
    const UnitConfig record = *config;
    const SendOptions options{synchronizeTime->isChecked(), zeroTotalizer->isChecked()};
    RunOperation(
        [connection, record, options](COperationObserver& observer, std::string& errorText) {
            return SendConfiguration(connection, record, options, observer, errorText);
        },
        [this](bool succeeded, const QString& errorText) {
            if (!succeeded && CancelRequested()) {
                ShowCancelled();
                return;
            }
            if (!succeeded) {
                ShowFailure(errorText);
                return;
            }
            Unlock();
        });
}

void CConnectDialog::ShowFailure(const QString& errorText)
{
    ShowError(errorText);
    SetStatus(QString::fromLatin1(kStatusReady));
    Unlock();
}
