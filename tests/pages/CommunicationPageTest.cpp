#include "pages/CommunicationPage.h"
#include "pages/IpAddressField.h"
#include "tests/pages/PageTestSupport.h"

namespace {

class CommunicationPage : public CPageTest<CCommunicationPage> {
protected:
    QComboBox* PortList(const char* group, const char* label) const
    {
        return Labelled<QComboBox>(Group(page.get(), group), label);
    }
    CIpAddressField* Address(const char* label) const
    {
        return Labelled<CIpAddressField>(Group(page.get(), "Network Settings"), label);
    }
    QLineEdit* ModemInit() const
    {
        return Labelled<QLineEdit>(Group(page.get(), "Modem"), "Initialization String:");
    }
};

TEST_F(CommunicationPage, ShowsTheFactoryRecordAndStoresItUnchanged)
{
    EXPECT_EQ(Snapshot(page.get()),
              "<57600> | <8> | <None> | Use Flow Control  [ ] | <9600> | <8> | <None> | <9600> | "
              "<8> | <None> | <9600> | <8> | <None> | [192] | . | [168] | . | [1] | . | [10] | "
              "[255] | . | [255] | . | [255] | . | [0] | Use Modem [ ] | [] (off)");
    page->StoreToConfig();
    EXPECT_EQ(Differences(config, DefaultRecord()), Offsets{});
}

TEST_F(CommunicationPage, EachGroupEditsItsOwnPortWithTheRecordsParityCodes)
{
    // A group, its rate, data bits and parity as chosen, and its port's record.
    const std::tuple<const char*, QStringList, SerialPortNumber, std::vector<long>> cases[] = {
        {"Configuration Port", {"19200", "7", "Odd"}, PortConfiguration, {19200, 1, ParityOdd}},
        {"Instrument 1", {"1200", "8", "Even"}, PortInstrument1, {1200, 0, ParityEven}},
        {"Instrument 2",
         {"57600", "7", "2 Stop Bits"},
         PortInstrument2,
         {57600, 1, ParityTwoStopBits}},
        {"Instrument 3", {"4800", "8", "None"}, PortInstrument3, {4800, 0, ParityNone}},
    };
    for (const auto& [group, entries, port, stored] : cases)
        for (int i = 0; const char* label : {"Baudrate:", "Data bits:", "Parity:"})
            Choose(PortList(group, label), entries[i++]);
    page->StoreToConfig();
    for (const auto& [group, entries, port, stored] : cases) {
        const SerialPortSetting setting = config.serialPort[port];
        EXPECT_EQ(std::vector<long>({setting.baudRate, setting.sevenDataBits, setting.parity}),
                  stored)
            << group;
    }
}

TEST_F(CommunicationPage, RatesBetweenEntriesShowTheLowerOneAndRatesAboveTheListAreKept)
{
    config.serialPort[PortInstrument1].baudRate = 14400;
    config.serialPort[PortConfiguration].baudRate = 115200;  // the MODBUS port's alone
    config.serialPort[PortInstrument3].parity = 9;
    Reload();
    EXPECT_EQ(PortList("Instrument 1", "Baudrate:")->currentText(), "9600");
    EXPECT_EQ(PortList("Configuration Port", "Baudrate:")->currentIndex(), -1);
    EXPECT_EQ(PortList("Instrument 3", "Parity:")->currentText(), "None");
    page->StoreToConfig();
    EXPECT_EQ(Value(config.serialPort[PortInstrument1].baudRate), 9600u);
    EXPECT_EQ(Value(config.serialPort[PortConfiguration].baudRate), 115200u);
}

TEST_F(CommunicationPage, UseModemEnablesItsStringWhichTakesCapitalsAndStaysInTheRecord)
{
    Press(FindButton<QCheckBox>(page.get(), "Use Modem"));
    EXPECT_TRUE(ModemInit()->isEnabled());
    // Capitals as typed, where the cursor is; a character Latin-1 lacks is dropped, and a
    // small letter Latin-1 has no capital for stays.
    Type(ModemInit(), "atz");
    QTest::keyClick(ModemInit(), Qt::Key_Home);
    Type(ModemInit(), QString::fromUtf8("at&f;\u00ff\u20ac"), /*replace=*/false);
    EXPECT_EQ(ModemInit()->text(), QString::fromLatin1("AT&F;\377ATZ"));

    Press(FindButton<QCheckBox>(page.get(), "Use Modem"));  // stores at once
    EXPECT_EQ(Value(config.modemEnabled), 0);
    EXPECT_FALSE(ModemInit()->isEnabled());
    EXPECT_STREQ(config.modemInitString, "AT&F;\377ATZ");

    config.modemEnabled = 1;
    Reload();
    Type(ModemInit(), QString(70, 'x'));
    page->StoreToConfig();
    EXPECT_EQ(std::string(config.modemInitString), std::string(63, 'X'));
}

TEST_F(CommunicationPage, AddressFieldsTakeFourNumbersUpTo255)
{
    ShowActive(*page);
    // Typed as people type an address: a dot, or a third digit, moves on to the next number;
    // a number above 255 is refused and one left blank reads as 0.
    for (const auto& [field, keys] : {std::pair("Address:", "10.0.300.7"), {"Subnet:", "172016"}}) {
        Address(field)->Part(0)->setFocus();
        Address(field)->Part(0)->selectAll();
        for (const char* key = keys; *key; ++key)
            QTest::keyClick(QApplication::focusWidget(), *key);
    }
    Type(Address("Address:")->Part(3), "");
    page->StoreToConfig();
    EXPECT_EQ(Snapshot(Group(page.get(), "Network Settings")),
              "[10] | . | [0] | . | [30] | . | [] | [172] | . | [016] | . | [255] | . | [0]");
    const std::uint8_t stored[8] = {10, 0, 30, 0, 172, 16, 255, 0};
    EXPECT_TRUE(!memcmp(config.ipAddress, stored, 4) && !memcmp(config.subnetMask, stored + 4, 4));
}

}  // namespace
