#include "pages/OutputPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <iterator>

#include "config/Quantities.h"
#include "config/SettingNames.h"
#include "pages/PageSupport.h"
#include "config/SerialSettings.h"
#include "pages/ValueEdit.h"

namespace {

// Positions in the "Output Type:" and "Protocol:" lists.
constexpr int kAnalogPosition = OutputAnalog - 1;
constexpr int kModbusPosition = OutputModbus - 1;
constexpr int kAsciiPosition = 0;
constexpr int kRtuPosition = 1;

// Range ends round half away from zero by the sign of the value in base units.
std::int32_t StoredRangeEnd(const QString& text, int unit)
{
    const double converted = FromDisplayUnits(FieldValue(text), unit);
    return TruncateToInt32(converted + 0.5 * SignOf(converted));
}

}  // namespace

COutputPage::COutputPage(UnitConfig* config, QWidget* parent) : CConfigPage(config, parent)
{
    outputType = NewDropDownList(kOutputTypeNames);
    auto* top = new QHBoxLayout;
    top->addWidget(LabelFor(tr("&Output Type:"), outputType));
    top->addWidget(outputType);
    top->addStretch(1);

    auto* test = NewPageButton(tr("Test Analog Outputs"));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(test);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(BuildAnalogOutput());
    layout->addWidget(BuildModbus());
    layout->addStretch(1);
    layout->addLayout(bottom);

    NameControls({{outputType, "outputType"}});
    connect(outputType, &QComboBox::activated, this, &COutputPage::UpdateEnabling);
    connect(test, &QPushButton::clicked, this, &COutputPage::TestOutputsRequested);

    LoadFromConfig();
}

QWidget* COutputPage::BuildAnalogOutput()
{
    auto* group = new QGroupBox(tr("Analog Output"));
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < static_cast<int>(channels.size()); ++i) {
        ChannelRow& row = channels[i];
        row = {new QCheckBox(tr("Channel %1").arg(i + 1)),
               NewDropDownList(),
               NewDropDownList(),
               new CValueEdit,
               NewUnitsLabel(),
               new CValueEdit,
               NewUnitsLabel()};
        FillQuantityList(row.quantity, kOutputQuantities);
        const QString name = QStringLiteral("channel%1").arg(i + 1);
        NameControls({{row.enabled, name},
                      {row.instrument, name + "Instrument"},
                      {row.quantity, name + "Quantity"},
                      {row.at4mA, name + "At4mA"},
                      {row.units4mA, name + "Units4mA"},
                      {row.at20mA, name + "At20mA"},
                      {row.units20mA, name + "Units20mA"}});

        // Every row's labels share their Alt+digit, which visits the rows' fields in turn.
        QLabel* const label4mA = LabelFor(tr("&4mA:"), row.at4mA);
        QLabel* const label20mA = LabelFor(tr("&20mA:"), row.at20mA);
        QWidget* const cells[] = {row.enabled, row.instrument, row.quantity,
                                  label4mA,    row.at4mA,      row.units4mA,
                                  label20mA,   row.at20mA,     row.units20mA};
        for (int column = 0; column < static_cast<int>(std::size(cells)); ++column)
            grid->addWidget(cells[column], i, column);

        connect(row.enabled, &QCheckBox::clicked, this, &COutputPage::StoreThenLoad);
        connect(row.quantity, &QComboBox::activated, this, [this, i] {
            ShowUnitLabels(i);
            UpdateEnabling();
        });
    }
    grid->setColumnStretch(2, 1);
    return group;
}

QWidget* COutputPage::BuildModbus()
{
    protocol = NewDropDownList(kModbusProtocolNames);
    address = new QLineEdit;
    address->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), address));
    baudRate = NewRecordBaudList(static_cast<int>(kBaudRates.size()));
    dataBits = NewDropDownList(kDataBitsListTexts);
    parity = NewDropDownList(kParityListTexts);
    alternatePort = new QCheckBox(tr("Use alternate MODBUS port (disables instrument 2)"));

    // The settings are enabled and disabled together, their captions with them.
    modbusSettings = new QWidget;
    auto* grid = new QGridLayout(modbusSettings);
    grid->setContentsMargins(0, 0, 0, 0);
    const struct {
        QString caption;
        QWidget* control;
        int row, column;
    } cells[] = {
        {tr("Pro&tocol:"), protocol, 0, 0}, {tr("&Address:"), address, 1, 0},
        {tr("&Baudrate:"), baudRate, 2, 0}, {tr("&Data bits:"), dataBits, 0, 3},
        {tr("Pa&rity:"), parity, 1, 3},
    };
    for (const auto& cell : cells) {
        grid->addWidget(LabelFor(cell.caption, cell.control), cell.row, cell.column);
        grid->addWidget(cell.control, cell.row, cell.column + 1);
    }
    grid->setColumnMinimumWidth(2, grid->horizontalSpacing() * 4);
    grid->setColumnStretch(5, 1);

    auto* group = new QGroupBox(tr("MODBUS"));
    auto* column = new QVBoxLayout(group);
    column->addWidget(modbusSettings);
    column->addWidget(alternatePort);

    NameControls({{protocol, "protocol"},
                  {address, "address"},
                  {baudRate, "baudRate"},
                  {dataBits, "dataBits"},
                  {parity, "parity"},
                  {alternatePort, "alternatePort"}});
    connect(alternatePort, &QCheckBox::clicked, this, &COutputPage::StoreThenLoad);
    return group;
}

void COutputPage::LoadFromConfig()
{
    for (const ChannelRow& row : channels) FillInstrumentList(row.instrument);
    outputType->setCurrentIndex(config->outputType == OutputModbus ? kModbusPosition
                                                                   : kAnalogPosition);
    alternatePort->setChecked(config->modbusAltPort != 0);

    for (int i = 0; i < static_cast<int>(channels.size()); ++i) {
        const ChannelRow& row = channels[i];
        const AnalogChannel channel = config->analogChannel[i];
        // An instrument the list does not offer (from a file) shows none, and is kept.
        SelectListIndex(row.instrument, channel.instrument);
        SelectQuantity(row.quantity, kOutputQuantities, channel.dataType);
        row.enabled->setChecked(channel.enabled != 0 && ChannelPresent(i));
        const int unit = DisplayUnitOf(*config, channel.dataType);
        row.at4mA->ShowValue(channel.at4mA, unit);
        row.at20mA->ShowValue(channel.at20mA, unit);
        ShowUnitLabels(i);
    }

    const SerialPortSetting port = config->serialPort[PortModbus];
    protocol->setCurrentIndex(config->modbusAscii != 0 ? kAsciiPosition : kRtuPosition);
    address->setText(QString::number(config->modbusAddress));
    baudRate->setCurrentIndex(BaudRateToIndex(static_cast<std::int32_t>(port.baudRate)));
    dataBits->setCurrentIndex(port.sevenDataBits == 1 ? DataBitsListSeven : DataBitsListEight);
    parity->setCurrentIndex(ParityToIndex(port.parity));

    UpdateEnabling();
}

void COutputPage::StoreToConfig()
{
    config->outputType = AnalogMode() ? OutputAnalog : OutputModbus;
    config->modbusAltPort = alternatePort->isChecked() && config->outputType == OutputAnalog;
    // The alternate MODBUS port is instrument 2's serial port.
    if (config->modbusAltPort != 0) config->instrumentType[1] = InstrumentInactive;

    for (int i = 0; i < static_cast<int>(channels.size()); ++i) {
        const ChannelRow& row = channels[i];
        AnalogChannel channel = config->analogChannel[i];
        channel.enabled = row.enabled->isChecked();
        channel.instrument =
            static_cast<std::uint8_t>(SelectedIndexOr(row.instrument, channel.instrument));
        channel.dataType =
            static_cast<std::uint8_t>(SelectedQuantity(row.quantity, kOutputQuantities));
        // A number is read in the unit its label shows: the one of the quantity now chosen,
        // whatever it was typed for, and the one the page was loaded with, whatever the Site
        // page chose since.
        channel.at4mA = row.at4mA->StoredValue(StoredRangeEnd);
        channel.at20mA = row.at20mA->StoredValue(StoredRangeEnd);
        config->analogChannel[i] = channel;
    }

    config->modbusAscii = protocol->currentIndex() == kRtuPosition ? 0 : 1;
    config->modbusAddress = static_cast<std::uint8_t>(FieldInteger(address->text()) & 0xFF);
    SerialPortSetting port = config->serialPort[PortModbus];
    port.baudRate = static_cast<std::uint32_t>(IndexToBaudRate(baudRate->currentIndex()));
    port.parity = static_cast<std::uint8_t>(IndexToParity(parity->currentIndex()));
    port.sevenDataBits = dataBits->currentIndex() == DataBitsListSeven;
    config->serialPort[PortModbus] = port;
}

void COutputPage::UpdateEnabling()
{
    const bool analog = AnalogMode();
    for (int i = 0; i < static_cast<int>(channels.size()); ++i) {
        const ChannelRow& row = channels[i];
        // What the record holds decides, not the box: a box click stores at once.
        const bool on = analog && config->analogChannel[i].enabled != 0 && ChannelPresent(i);
        row.enabled->setEnabled(analog && ChannelPresent(i));
        for (QWidget* control :
             {static_cast<QWidget*>(row.quantity), static_cast<QWidget*>(row.at4mA),
              static_cast<QWidget*>(row.at20mA)})
            control->setEnabled(on);
        // The averaged and summed quantities belong to no single instrument.
        row.instrument->setEnabled(
            on && !IsCombinedDataType(SelectedQuantity(row.quantity, kOutputQuantities)));
    }

    modbusSettings->setEnabled(!analog || alternatePort->isChecked());
    alternatePort->setEnabled(analog);
    if (!analog) alternatePort->setChecked(false);
}

void COutputPage::ShowUnitLabels(int channel)
{
    const ChannelRow& row = channels[channel];
    const int unit = DisplayUnitOf(*config, SelectedQuantity(row.quantity, kOutputQuantities));
    const QString text = Latin1(UnitAbbreviation(unit));
    row.units4mA->setText(text);
    row.units20mA->setText(text);
    row.at4mA->SetUnit(unit);
    row.at20mA->SetUnit(unit);
}

bool COutputPage::AnalogMode() const
{
    return outputType->currentIndex() == kAnalogPosition;
}

bool COutputPage::ChannelPresent(int channel) const
{
    // The unit reports how many of the four channels it really has.
    return channel < config->analogChannelCount;
}
