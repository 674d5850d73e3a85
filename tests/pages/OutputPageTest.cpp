#include <QSignalSpy>
#include <climits>

#include "config/Quantities.h"
#include "pages/OutputPage.h"
#include "tests/pages/PageTestSupport.h"

namespace {

class OutputPage : public CPageTest<COutputPage> {
protected:
    // As the main window does when the page is left.
    void Store() { page->StoreToConfig(); }
    QString Channels() const { return Snapshot(Group(page.get(), "Analog Output")); }
    QString Modbus() const { return Snapshot(Group(page.get(), "MODBUS")); }
};

TEST_F(OutputPage, ShowsTheFactoryRecordAndStoresItBackWithChannelThreeSwitchedOnAsOne)
{
    EXPECT_EQ(
        Snapshot(page.get()),
        "<Analog (4 - 20mA)> | Channel 1 [x] | <Ins 1> | <Smoothed Flow> | [0.000] | MGD | "
        "[100] | MGD | Channel 2 [x] | <Ins 1> | <Smoothed Velocity> | [0.000] | ft/s | [10.0] "
        "| ft/s | Channel 3 [x] | <Ins 1> | <Smoothed Depth> | [0.000] | In | [120] | In | "
        "Channel 4 [x] | <Ins 1> | <Sensor Temperature> | [32.0] | \u00b0F | [100] | \u00b0F "
        "| <ASCII> (off) | [1] (off) | <9600> (off) | <8> (off) | <None> (off) | Use alternate "
        "MODBUS port (disables instrument 2) [ ]");
    // Every value shown converts back to the integer it came from; only channel 3's "on"
    // byte, 2 in the factory record, is written as 1.
    UnitConfig expected = config;
    expected.analogChannel[2].enabled = 1;
    Store();
    EXPECT_EQ(Differences(config, expected), Offsets{});

    // Another quantity relabels the range and reads its numbers in its own unit.
    Choose(List("channel1Instrument"), "Ins 3");
    Choose(List("channel1Quantity"), "Smoothed Velocity");
    Choose(List("channel2Quantity"), "Average Flow");  // of no single instrument
    EXPECT_EQ(Channels().section(" | Channel 3", 0, 0),
              "Channel 1 [x] | <Ins 3> | <Smoothed Velocity> | [0.000] | ft/s | [100] | ft/s | "
              "Channel 2 [x] | <Ins 1> (off) | <Average Flow> | [0.000] | MGD | [10.0] | MGD");
    Store();
    const AnalogChannel first = config.analogChannel[0], second = config.analogChannel[1];
    EXPECT_EQ(Value(first.dataType), 15);
    EXPECT_EQ(Value(first.at20mA), 30480);  // 100 ft/s in mm/s
    EXPECT_EQ(Value(second.dataType), 38);
}

TEST_F(OutputPage, RangeEndsAreStoredRoundedByTheSignOfTheConvertedValue)
{
    const CGermanDesktop german;
    // Millimetres (5) or degrees Fahrenheit (37); typed, stored, shown again.
    const std::tuple<int, const char*, std::int32_t, const char*> cases[] = {
        {5, "-2.5", -3, "-3.000"},
        {5, "2.5", 3, "3.00"},
        {5, "1e300", INT_MAX, "2147483647"},
        {37, "10", -1222, "10.0"},  // -1222.2 hundredths of a degree Celsius: rounded down
        {37, "-32768", kMissingValue, "--"},  // the mark for "no value"
        {37, "--", kMissingValue, "--"},
    };
    for (const auto& [unit, typed, stored, shown] : cases) {
        const bool depth = unit == 5;
        config.unitCode[depth ? KindDepth : KindTemperature] = std::uint8_t(unit);
        Reload();
        Choose(List("channel3Quantity"), depth ? "Main Depth" : "Sensor Temperature");
        Type(Edit("channel3At4mA"), typed);
        Store();
        EXPECT_EQ(Value(config.analogChannel[2].at4mA), stored) << typed;
        Reload();
        EXPECT_EQ(Edit("channel3At4mA")->text(), shown) << typed;
    }
}

TEST_F(OutputPage, ChannelsTheUnitLacksAreOffAndABoxStoresThePageAtOnce)
{
    config.analogChannelCount = 2;
    Reload();
    Type(Edit("channel1At20mA"), "50");
    Press(Box("channel2"));
    Press(Box("channel3"));
    EXPECT_EQ(Value(config.analogChannel[0].at20mA), 2190632);  // the typed 50 MGD went in with it
    // Channel 2's box alone stays on; channels 3 and 4 are off whole.
    EXPECT_EQ(Channels().count(" (off)"), 4 + 5 + 5);
    Store();
    EXPECT_EQ(Value(config.analogChannel[1].enabled), 0);
    EXPECT_EQ(Value(config.analogChannel[2].enabled), 0);
}

TEST_F(OutputPage, ModbusTakesTheChannelsAndTheAlternatePortTakesInstrumentTwo)
{
    config.instrumentType[1] = InstrumentKestrel;
    Reload();
    Press(Box("alternatePort"));
    EXPECT_EQ(Value(config.modbusAltPort), 1);
    EXPECT_EQ(Value(config.instrumentType[1]), InstrumentInactive);
    const QString settings =
        "<ASCII> | [1] | <9600> | <8> | <None> | Use alternate MODBUS port (disables "
        "instrument 2) ";
    EXPECT_EQ(Modbus(), settings + "[x]");

    Choose(List("outputType"), "MODBUS");
    EXPECT_EQ(Modbus(), settings + "[ ] (off)");
    EXPECT_EQ(Channels().count(" (off)"), 4 * 5);
    // The main window is asked for the test dialog in either mode, with nothing stored.
    const UnitConfig before = config;
    QSignalSpy asked(page.get(), &COutputPage::TestOutputsRequested);
    PressButton("Test Analog Outputs");
    EXPECT_EQ(asked.count(), 1);
    EXPECT_EQ(Differences(config, before), Offsets{});
    Store();
    EXPECT_EQ(Value(config.outputType), OutputModbus);
    EXPECT_EQ(Value(config.modbusAltPort), 0);
}

TEST_F(OutputPage, ModbusPortSettingsMapToTheRecordsCodes)
{
    config.outputType = OutputModbus;
    config.serialPort[PortModbus].baudRate = 100000;  // no entry: shows and stores the one below
    Reload();
    EXPECT_EQ(List("baudRate")->currentText(), "57600");
    for (int i = 0; const char* list : {"baudRate", "dataBits", "parity", "protocol"})
        Choose(List(list), QStringList{"115200", "7", "Odd", "RTU"}[i++]);
    for (const auto& [typed, stored] : {std::pair("1a2", 12), {"300", 44}}) {  // the low 8 bits
        Type(Edit("address"), typed);
        Store();
        const SerialPortSetting port = config.serialPort[PortModbus];
        EXPECT_EQ(std::vector<long>({port.baudRate, port.sevenDataBits, port.parity,
                                     config.modbusAscii, config.modbusAddress}),
                  std::vector<long>({115200, 1, ParityOdd, 0, stored}))
            << typed;
    }
}

}  // namespace
