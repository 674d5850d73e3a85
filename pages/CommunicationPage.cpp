#include "pages/CommunicationPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QValidator>
#include <cstring>

#include "config/SettingNames.h"
#include "pages/IpAddressField.h"
#include "pages/PageSupport.h"
#include "config/SerialSettings.h"

namespace {

// The configuration port's group is the first and the only one with flow control.
constexpr int kConfigurationGroup = 0;

// 115200 belongs to the MODBUS port alone, so these lists end at 57600.
constexpr int kBaudListCount = 7;

constexpr int kModemInitLength = sizeof UnitConfig::modemInitString - 1;

// Modems take their commands in capitals. Letters become capitals as they are typed, and
// characters the record cannot hold (it is single-byte Latin-1) are dropped.
class CCapitalsValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        QString kept;
        kept.reserve(input.size());
        for (int i = 0; i < input.size(); ++i) {
            const QChar c = input[i];
            if (c.unicode() > 0xFF) {
                if (i < pos) --pos;
                continue;
            }
            // Only capitals that Latin-1 has: 'ÿ' and 'µ' stay as they are.
            const QChar upper = c.toUpper();
            kept.append(upper.unicode() <= 0xFF ? upper : c);
        }
        input = kept;
        return Acceptable;
    }
};

CIpAddressField::Address AddressOf(const std::uint8_t (&field)[4])
{
    CIpAddressField::Address address{};
    std::memcpy(address.data(), field, address.size());
    return address;
}

void StoreAddress(const CIpAddressField::Address& address, std::uint8_t (&field)[4])
{
    std::memcpy(field, address.data(), address.size());
}

}  // namespace

CCommunicationPage::CCommunicationPage(UnitConfig* config, QWidget* parent)
    : CConfigPage(config, parent)
{
    auto* portRow = new QHBoxLayout;
    for (int group = 0; group < static_cast<int>(std::size(kPortGroups)); ++group)
        portRow->addWidget(CreatePortGroup(group));

    auto* lowerRow = new QHBoxLayout;
    lowerRow->addWidget(CreateNetworkGroup());
    lowerRow->addWidget(CreateModemGroup(), 1);

    auto* page = new QVBoxLayout(this);
    page->addLayout(portRow);
    page->addLayout(lowerRow);
    page->addStretch(1);

    LoadFromConfig();
}

QWidget* CCommunicationPage::CreatePortGroup(int group)
{
    auto* box = new QGroupBox(Latin1(kPortGroups[group].title));
    PortControls& c = ports[group];
    c.baudRate = NewRecordBaudList(kBaudListCount);
    c.dataBits = NewDropDownList(kDataBitsListTexts);
    c.parity = NewDropDownList(kParityListTexts);

    auto* grid = new QGridLayout(box);
    const std::pair<QString, QComboBox*> rows[] = {{tr("&Baudrate:"), c.baudRate},
                                                   {tr("&Data bits:"), c.dataBits},
                                                   {tr("Pa&rity:"), c.parity}};
    int row = 0;
    for (const auto& [label, list] : rows) {
        grid->addWidget(LabelFor(label, list), row, 0);
        grid->addWidget(list, row, 1);
        ++row;
    }
    if (group == kConfigurationGroup) {
        flowControl = new QCheckBox(tr("Use Flow Control "));
        grid->addWidget(flowControl, row++, 0, 1, 2);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return box;
}

QWidget* CCommunicationPage::CreateNetworkGroup()
{
    auto* box = new QGroupBox(tr("Network Settings"));
    address = new CIpAddressField;
    subnet = new CIpAddressField;
    auto* grid = new QGridLayout(box);
    grid->addWidget(LabelFor(tr("&Address:"), address), 0, 0);
    grid->addWidget(address, 0, 1, Qt::AlignLeft);
    grid->addWidget(LabelFor(tr("S&ubnet:"), subnet), 1, 0);
    grid->addWidget(subnet, 1, 1, Qt::AlignLeft);
    grid->setRowStretch(2, 1);
    return box;
}

QWidget* CCommunicationPage::CreateModemGroup()
{
    auto* box = new QGroupBox(tr("Modem"));
    useModem = new QCheckBox(tr("Use Modem"));
    modemInit = new QLineEdit;
    modemInit->setMaxLength(kModemInitLength);
    modemInit->setValidator(new CCapitalsValidator(modemInit));
    auto* grid = new QGridLayout(box);
    grid->addWidget(useModem, 0, 0, 1, 2);
    grid->addWidget(LabelFor(tr("&Initialization String:"), modemInit), 1, 0);
    grid->addWidget(modemInit, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    connect(useModem, &QCheckBox::clicked, this, &CCommunicationPage::StoreThenLoad);
    return box;
}

void CCommunicationPage::LoadFromConfig()
{
    for (int group = 0; group < static_cast<int>(ports.size()); ++group) {
        const PortControls& c = ports[group];
        const int p = kPortGroups[group].port;
        // A rate the list does not offer (115200 from a file or a unit) shows no entry.
        const auto baudRate = static_cast<std::int32_t>(config->serialPort[p].baudRate);
        SelectListIndex(c.baudRate, BaudRateToIndex(baudRate));
        c.dataBits->setCurrentIndex(config->serialPort[p].sevenDataBits == 1 ? DataBitsListSeven
                                                                             : DataBitsListEight);
        c.parity->setCurrentIndex(ParityToIndex(config->serialPort[p].parity));
    }
    flowControl->setChecked(config->configPortFlowControl != 0);

    address->SetAddress(AddressOf(config->ipAddress));
    subnet->SetAddress(AddressOf(config->subnetMask));

    const bool modem = config->modemEnabled != 0;
    useModem->setChecked(modem);
    modemInit->setEnabled(modem);
    modemInit->setText(RecordText(config->modemInitString));
}

void CCommunicationPage::StoreToConfig()
{
    for (int group = 0; group < static_cast<int>(ports.size()); ++group) {
        const PortControls& c = ports[group];
        const int p = kPortGroups[group].port;
        // With no entry selected the port keeps the rate it has.
        if (const int index = c.baudRate->currentIndex(); index >= 0)
            config->serialPort[p].baudRate = static_cast<std::uint32_t>(IndexToBaudRate(index));
        config->serialPort[p].sevenDataBits =
            c.dataBits->currentIndex() == DataBitsListSeven ? 1 : 0;
        config->serialPort[p].parity =
            static_cast<std::uint8_t>(IndexToParity(c.parity->currentIndex()));
    }
    config->configPortFlowControl = flowControl->isChecked() ? 1 : 0;

    StoreAddress(address->GetAddress(), config->ipAddress);
    StoreAddress(subnet->GetAddress(), config->subnetMask);

    config->modemEnabled = useModem->isChecked() ? 1 : 0;
    // Kept whether or not the modem is in use.
    StoreRecordText(modemInit->text(), config->modemInitString);
}
