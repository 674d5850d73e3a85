#include <gtest/gtest.h>

#include <QPushButton>
#include <climits>

#include "config/Quantities.h"
#include "pages/OutputTab.h"
#include "tests/gui/ScriptedPrompts.h"
#include "tests/pages/PageTestSupport.h"

namespace {

class OutputPage : public CPageTest<COutputTab> {
protected:
    // As the main window does when the page is left.
    void Store() { page->StoreToConfig(); }

    // The controls of channel n (1..4): its box, instrument, quantity and the two values.
    std::vector<QWidget*> ChannelControls(int n) const
    {
        const QString name = QStringLiteral("channel%1").arg(n);
        return {Box(name), List(name + "Instrument"), List(name + "Quantity"), Edit(name + "At4mA"),
                Edit(name + "At20mA")};
    }
    std::vector<QWidget*> ModbusControls() const
    {
        return {List("protocol"), Edit("address"), List("baudRate"), List("dataBits"),
                List("parity")};
    }
};

TEST_F(OutputPage, FactoryRecordShowsItsChannelsAndStoresBackUnchanged)
{
    const struct {
        const char* quantity;
        const char* at4mA;
        const char* at20mA;
        const char* units;
    } channels[] = {
        {"Smoothed Flow", "0.000", "100", "MGD"},
        {"Smoothed Velocity", "0.000", "10.0", "ft/s"},
        {"Smoothed Depth", "0.000", "120", "In"},
        {"Sensor Temperature", "32.0", "100",
         "\xb0"
         "F"},
    };
    for (int n = 1; n <= 4; ++n) {
        const QString name = QStringLiteral("channel%1").arg(n);
        const auto& expected = channels[n - 1];
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(Box(name)->isChecked());
        EXPECT_EQ(List(name + "Quantity")->currentText(), expected.quantity);
        EXPECT_EQ(Edit(name + "At4mA")->text(), expected.at4mA);
        EXPECT_EQ(Edit(name + "At20mA")->text(), expected.at20mA);
        EXPECT_EQ(Label(name + "Units4mA"), QString::fromLatin1(expected.units));
        EXPECT_EQ(Label(name + "Units20mA"), QString::fromLatin1(expected.units));
        for (QWidget* control : ChannelControls(n)) EXPECT_TRUE(control->isEnabled());
    }
    EXPECT_EQ(List("channel2Quantity")->count(), 17);
    EXPECT_EQ(List("outputType")->currentText(), "Analog (4 - 20mA)");
    for (QWidget* control : ModbusControls()) EXPECT_FALSE(control->isEnabled());
    EXPECT_TRUE(Box("alternatePort")->isEnabled());
    EXPECT_FALSE(Box("alternatePort")->isChecked());

    // Every shown value converts back to the integer it came from; only channel 3's "on"
    // byte, 2 in the factory record, is written as 1.
    UnitConfig expected = config;
    expected.analogChannel[2].enabled = 1;
    Store();
    EXPECT_EQ(Bytes(config), Bytes(expected));
}

TEST_F(OutputPage, RangeEndsAreStoredRoundedByTheSignOfTheConvertedValue)
{
    const struct {
        const char* quantity;
        QuantityKind kind;
        std::uint8_t unit;
        const char* typed;
        std::int32_t stored;
        const char* shown;
    } cases[] = {
        {"Main Depth", KindDepth, 5, "-2.5", -3, "-3.000"},
        {"Main Depth", KindDepth, 5, "2.5", 3, "3.00"},
        // 10 degrees Fahrenheit is -1222.2 hundredths of a degree Celsius: rounded down.
        {"Sensor Temperature", KindTemperature, 37, "10", -1222, "10.0"},
        {"Main Depth", KindDepth, 5, "abc", 0, "0.000"},
        {"Main Depth", KindDepth, 5, "1e300", INT_MAX, "2147483647"},
        // The mark for "no value" in any unit.
        {"Sensor Temperature", KindTemperature, 37, "-32768", kMissingValue, "--"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        config.unitCode[c.kind] = c.unit;
        Reload();
        Choose(List("channel3Quantity"), c.quantity);
        Type(Edit("channel3At4mA"), c.typed);
        Type(Edit("channel3At20mA"), c.typed);
        Store();
        AnalogChannel channel = config.analogChannel[2];
        EXPECT_EQ(Value(channel.at4mA), c.stored);
        EXPECT_EQ(Value(channel.at20mA), c.stored);

        // What is shown then stores as the same integer again.
        Reload();
        EXPECT_EQ(Edit("channel3At4mA")->text(), c.shown);
        Store();
        channel = config.analogChannel[2];
        EXPECT_EQ(Value(channel.at4mA), c.stored);
    }
}

TEST_F(OutputPage, AnotherQuantityKeepsTheNumbersAndReadsThemInItsUnit)
{
    Choose(List("channel1Quantity"), "Smoothed Velocity");
    EXPECT_EQ(Edit("channel1At20mA")->text(), "100");
    EXPECT_EQ(Label("channel1Units20mA"), "ft/s");

    Store();
    const AnalogChannel channel = config.analogChannel[0];
    EXPECT_EQ(channel.dataType, 15);
    EXPECT_EQ(Value(channel.at20mA), 30480);  // 100 ft/s in mm/s
}

TEST_F(OutputPage, CombinedQuantitiesTakeNoInstrument)
{
    Choose(List("channel1Instrument"), "Ins 3");
    Choose(List("channel1Quantity"), "Average Flow");
    EXPECT_FALSE(List("channel1Instrument")->isEnabled());

    Store();
    const AnalogChannel channel = config.analogChannel[0];
    EXPECT_EQ(channel.instrument, 2);
    EXPECT_EQ(channel.dataType, 38);
}

TEST_F(OutputPage, ChannelsTheUnitLacksAreOffAndCannotBeSwitchedOn)
{
    config.analogChannelCount = 2;
    Reload();
    for (int n = 3; n <= 4; ++n) {
        EXPECT_FALSE(Box(QStringLiteral("channel%1").arg(n))->isChecked()) << n;
        for (QWidget* control : ChannelControls(n)) EXPECT_FALSE(control->isEnabled()) << n;
    }
    Press(Box("channel3"));

    Store();
    EXPECT_EQ(config.analogChannel[1].enabled, 1);
    EXPECT_EQ(config.analogChannel[2].enabled, 0);
    EXPECT_EQ(config.analogChannel[3].enabled, 0);
    EXPECT_EQ(Value(config.analogChannelCount), 2);
}

TEST_F(OutputPage, ChannelBoxStoresThePageAtOnce)
{
    Type(Edit("channel1At20mA"), "50");
    Press(Box("channel2"));

    EXPECT_EQ(config.analogChannel[1].enabled, 0);
    const AnalogChannel first = config.analogChannel[0];
    EXPECT_EQ(Value(first.at20mA), 2190632);  // the typed 50 MGD went in with it
    EXPECT_TRUE(Box("channel2")->isEnabled());
    EXPECT_FALSE(List("channel2Quantity")->isEnabled());
    EXPECT_FALSE(Edit("channel2At4mA")->isEnabled());

    Press(Box("channel2"));
    EXPECT_EQ(config.analogChannel[1].enabled, 1);
    EXPECT_TRUE(List("channel2Instrument")->isEnabled());
}

TEST_F(OutputPage, ModbusOutputDisablesTheChannelsAndTheAlternatePort)
{
    config.modbusAltPort = 1;
    Reload();
    EXPECT_TRUE(Box("alternatePort")->isChecked());
    for (QWidget* control : ModbusControls()) EXPECT_TRUE(control->isEnabled());

    Choose(List("outputType"), "MODBUS");
    for (int n = 1; n <= 4; ++n)
        for (QWidget* control : ChannelControls(n)) EXPECT_FALSE(control->isEnabled()) << n;
    for (QWidget* control : ModbusControls()) EXPECT_TRUE(control->isEnabled());
    EXPECT_FALSE(Box("alternatePort")->isEnabled());
    EXPECT_FALSE(Box("alternatePort")->isChecked());
    EXPECT_EQ(config.outputType, OutputAnalog);  // nothing stored yet

    // The test dialog opens in MODBUS mode too, and needs no stored page.
    CScriptedPrompts prompts;
    QPushButton* test = FindButton<QPushButton>(page.get(), "Test Analog Outputs");
    EXPECT_TRUE(test->isEnabled());
    const std::vector<unsigned char> before = Bytes(config);
    Press(test);
    EXPECT_EQ(prompts.dialogs, QStringList{"Test Analog Outputs"});
    EXPECT_EQ(Bytes(config), before);

    Store();
    EXPECT_EQ(config.outputType, OutputModbus);
    EXPECT_EQ(config.modbusAltPort, 0);
}

TEST_F(OutputPage, AlternatePortTakesInstrumentTwo)
{
    config.instrumentType[1] = InstrumentKestrel;
    Reload();
    Press(Box("alternatePort"));

    EXPECT_EQ(config.modbusAltPort, 1);
    EXPECT_EQ(config.instrumentType[1], InstrumentInactive);
    for (QWidget* control : ModbusControls()) EXPECT_TRUE(control->isEnabled());

    Press(Box("alternatePort"));
    EXPECT_EQ(config.modbusAltPort, 0);
    for (QWidget* control : ModbusControls()) EXPECT_FALSE(control->isEnabled());
}

TEST_F(OutputPage, ModbusPortSettingsMapToTheRecordsCodes)
{
    config.outputType = OutputModbus;
    Reload();
    Choose(List("baudRate"), "115200");
    Choose(List("dataBits"), "7");
    Choose(List("protocol"), "RTU");
    Store();
    SerialPortSetting port = config.serialPort[PortModbus];
    EXPECT_EQ(Value(port.baudRate), 115200u);
    EXPECT_EQ(port.sevenDataBits, 1);
    EXPECT_EQ(config.modbusAscii, 0);
    Reload();
    EXPECT_EQ(List("baudRate")->currentText(), "115200");

    // The list is not in the order of the record's codes.
    const std::pair<const char*, int> parities[] = {
        {"None", ParityNone}, {"Odd", ParityOdd}, {"Even", ParityEven}, {"2 Stop Bits", 3}};
    for (const auto& [entry, code] : parities) {
        Choose(List("parity"), entry);
        Store();
        EXPECT_EQ(config.serialPort[PortModbus].parity, code) << entry;
    }

    // Values the lists lack show as the entry below, or the first, and are stored as shown.
    const std::pair<std::uint32_t, const char*> rates[] = {{100000, "57600"}, {300, "1200"}};
    for (const auto& [stored, shown] : rates) {
        config.serialPort[PortModbus].baudRate = stored;
        config.serialPort[PortModbus].parity = 7;
        Reload();
        EXPECT_EQ(List("baudRate")->currentText(), shown);
        EXPECT_EQ(List("parity")->currentText(), "None");
        Store();
        port = config.serialPort[PortModbus];
        EXPECT_EQ(Value(port.baudRate), QString::fromLatin1(shown).toUInt());
        EXPECT_EQ(port.parity, ParityNone);
    }
}

TEST_F(OutputPage, AddressTakesDigitsAndKeepsItsLowEightBits)
{
    config.outputType = OutputModbus;
    Reload();
    Type(Edit("address"), "1a2");
    EXPECT_EQ(Edit("address")->text(), "12");
    Type(Edit("address"), "300");
    Store();
    EXPECT_EQ(config.modbusAddress, 44);
    Reload();
    EXPECT_EQ(Edit("address")->text(), "44");
}

TEST_F(OutputPage, ValuesFromAFileTheListsLack)
{
    config.outputType = 0;
    config.analogChannel[0].dataType = 7;  // area: no output carries it
    config.analogChannel[1].instrument = 5;
    Reload();
    EXPECT_EQ(List("outputType")->currentText(), "Analog (4 - 20mA)");
    EXPECT_EQ(List("channel1Quantity")->currentText(), "Q Main");
    EXPECT_EQ(List("channel2Instrument")->currentIndex(), -1);

    Store();
    EXPECT_EQ(config.outputType, OutputAnalog);
    EXPECT_EQ(config.analogChannel[0].dataType, 1);
    // An instrument the list cannot show is kept rather than replaced by a guess.
    EXPECT_EQ(config.analogChannel[1].instrument, 5);
}

TEST_F(OutputPage, NumbersIgnoreTheDesktopsLanguage)
{
    const CGermanDesktop german;
    config.unitCode[KindDepth] = 5;  // millimetres
    Reload();
    Type(Edit("channel3At20mA"), "2.5");
    Store();
    const AnalogChannel channel = config.analogChannel[2];
    EXPECT_EQ(Value(channel.at20mA), 3);
    Reload();
    EXPECT_EQ(Edit("channel3At20mA")->text(), "3.00");
}

}  // namespace
