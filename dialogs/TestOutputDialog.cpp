#include "dialogs/TestOutputDialog.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <limits>
#include <optional>

#include "config/NumberText.h"
#include "device/OutputTest.h"
#include "dialogs/SerialChoice.h"

namespace {

constexpr char kNoChannelsText[] =
    QT_TRANSLATE_NOOP("CTestOutputDialog", "This unit has no analog output channels to test.");
constexpr char kNoPortText[] =
    QT_TRANSLATE_NOOP("CTestOutputDialog", "Choose a port from the list.");
constexpr char kNoBaudText[] =
    QT_TRANSLATE_NOOP("CTestOutputDialog", "Choose a baud rate from the list.");
constexpr char kNoChannelText[] =
    QT_TRANSLATE_NOOP("CTestOutputDialog", "Choose a channel from the list.");

const QString kRememberedAs = QStringLiteral("TestOutputDialog");

// The lists can be typed into; what is typed counts only when it names one of their items.
QComboBox* Editable(QComboBox* list)
{
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    return list;
}

}  // namespace

CTestOutputDialog::CTestOutputDialog(const UnitConfig& config, QWidget* parent,
                                     const CommTimings& timings)
    : CDeviceDialog(parent), timings(timings)
{
    setWindowTitle(tr("Test Analog Outputs"));

    portList = Editable(NewPortList("portList"));
    baudList = Editable(NewBaudList("baudList"));
    PreselectRemembered(kRememberedAs, {portList, baudList});
    channelList = Editable(new QComboBox);
    channelList->setObjectName(QStringLiteral("channelList"));
    for (int channel = 1; channel <= config.analogChannelCount; ++channel)
        channelList->addItem(tr("Channel %1").arg(channel));
    channelList->setCurrentIndex(0);
    valueEdit = new QLineEdit;
    valueEdit->setObjectName(QStringLiteral("valueEdit"));
    valueEdit->installEventFilter(this);
    valueEdit->setText(QString::fromStdString(FormatDecimal(kMinTestCurrent, 2)));

    auto* communications = new QGroupBox(tr("Communications"));
    auto* communicationsForm = new QFormLayout(communications);
    communicationsForm->addRow(BuddyLabel(tr("Port:"), portList), portList);
    communicationsForm->addRow(BuddyLabel(tr("Baud:"), baudList), baudList);

    auto* value = new QHBoxLayout;
    value->addWidget(valueEdit);
    value->addWidget(new QLabel(tr("mA")));
    auto* testValues = new QGroupBox(tr("Test Values"));
    auto* testValuesForm = new QFormLayout(testValues);
    testValuesForm->addRow(BuddyLabel(tr("Channel:"), channelList), channelList);
    testValuesForm->addRow(BuddyLabel(tr("Value:"), valueEdit), value);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(communications);
    layout->addWidget(testValues);
    layout->addWidget(MakeStatusLine(QString::fromLatin1(kStatusReady)));
    layout->addLayout(MakeButtons(
        tr("Test Output"), "testButton", [this] { OnTestOutput(); }, Qt::Horizontal));
}

bool CTestOutputDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == valueEdit && event->type() == QEvent::FocusOut) NormaliseValue();
    return CDeviceDialog::eventFilter(watched, event);
}

void CTestOutputDialog::NormaliseValue()
{
    const std::optional<double> value = ParseDecimal(valueEdit->text().toStdString());
    if (value && IsTestCurrent(*value))
        valueEdit->setText(QString::fromStdString(FormatDecimal(*value, 2)));
}

void CTestOutputDialog::OnTestOutput()
{
    const std::optional<std::string> port = ChosenPort(*portList);
    const std::optional<int> baudRate = ChosenBaudRate(*baudList);
    const std::optional<int> channelPosition = ChosenPosition(*channelList);
    // Without a channel there is nothing to test; a command for channel 0 must not go out.
    const char* missing = channelList->count() == 0 ? kNoChannelsText
                          : !port                   ? kNoPortText
                          : !baudRate               ? kNoBaudText
                          : !channelPosition        ? kNoChannelText
                                                    : nullptr;
    if (missing) {
        ShowError(tr(missing));
        return;
    }
    RememberChoices(kRememberedAs, {portList, baudList});

    UnitConnection connection;
    connection.port = *port;
    connection.baudRate = *baudRate;
    connection.timings = timings;
    const int channel = *channelPosition + 1;
    // Text that is no number goes as NaN, which the output test refuses with the same words
    // as a current out of range.
    const double milliamperes = ParseDecimal(valueEdit->text().toStdString())
                                    .value_or(std::numeric_limits<double>::quiet_NaN());
    RunOperation(
        [connection, channel, milliamperes](COperationObserver& observer, std::string& errorText) {
            return TestOutput(connection, channel, milliamperes, observer, errorText);
        },
        [this](bool succeeded, const QString& errorText) {
            if (!succeeded && CancelRequested()) {
                ShowCancelled();
                return;
            }
            if (!succeeded) ShowError(errorText);
            SetStatus(QString::fromLatin1(kStatusReady));
            Unlock();
        });
}
