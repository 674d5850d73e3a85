#include <QCheckBox>
#include <memory>

#include "pages/IpAddressField.h"
#include "pages/SystemTab.h"
#include "tests/pages/PageTestSupport.h"

namespace {

struct PortView {
    QComboBox* baudRate;
    QComboBox* dataBits;
    QComboBox* parity;
};

class CommunicationPage : public CPageTest<CSystemTab> {
protected:
    PortView Port(const char* group)
    {
        QWidget* box = Group(page.get(), group);
        return {Labelled<QComboBox>(box, "Baudrate:"), Labelled<QComboBox>(box, "Data bits:"),
                Labelled<QComboBox>(box, "Parity:")};
    }
    CIpAddressField* Address(const char* label)
    {
        return Labelled<CIpAddressField>(Group(page.get(), "Network Settings"), label);
    }
    QCheckBox* UseModem() { return FindButton<QCheckBox>(Group(page.get(), "Modem"), "Use Modem"); }
    QLineEdit* ModemInit()
    {
        return Labelled<QLineEdit>(Group(page.get(), "Modem"), "Initialization String:");
    }

    static QString Shown(CIpAddressField* field)
    {
        QStringList parts;
        for (int i = 0; i < 4; ++i) parts << field->Part(i)->text();
        return parts.join('.');
    }
};

// Each group of the page and the unit's port it edits.
const std::pair<const char*, int> kGroupPorts[] = {
    {"Configuration Port", PortConfiguration},
    {"Instrument 1", PortInstrument1},
    {"Instrument 2", PortInstrument2},
    {"Instrument 3", PortInstrument3},
};

TEST_F(CommunicationPage, ShowsTheDefaultRecord)
{
    for (const auto& [group, port] : kGroupPorts) {
        const PortView view = Port(group);
        EXPECT_EQ(Entries(view.baudRate),
                  (QStringList{"1200", "2400", "4800", "9600", "19200", "38400", "57600"}));
        EXPECT_EQ(Entries(view.dataBits), (QStringList{"7", "8"}));
        EXPECT_EQ(Entries(view.parity), (QStringList{"None", "Odd", "Even", "2 Stop Bits"}));
        EXPECT_EQ(view.baudRate->currentText(), port == PortConfiguration ? "57600" : "9600")
            << group;
        EXPECT_EQ(view.dataBits->currentText(), "8") << group;
        EXPECT_EQ(view.parity->currentText(), "None") << group;
    }
    QCheckBox* flowControl =
        FindButton<QCheckBox>(Group(page.get(), "Configuration Port"), "Use Flow Control ");
    EXPECT_FALSE(flowControl->isChecked());
    EXPECT_EQ(Shown(Address("Address:")), "192.168.1.10");
    EXPECT_EQ(Shown(Address("Subnet:")), "255.255.255.0");
    EXPECT_FALSE(UseModem()->isChecked());
    EXPECT_EQ(ModemInit()->text(), "");
    EXPECT_FALSE(ModemInit()->isEnabled());
}

TEST_F(CommunicationPage, StoringTheDefaultsChangesNothing)
{
    page->StoreToConfig();
    EXPECT_EQ(Differences(config, DefaultRecord()), std::vector<std::size_t>{});
}

TEST_F(CommunicationPage, EachGroupEditsItsOwnPort)
{
    for (const auto& [group, port] : kGroupPorts) {
        SetDefaults(config);
        Reload();
        const PortView view = Port(group);
        Choose(view.baudRate, "19200");
        Choose(view.dataBits, "7");
        Choose(view.parity, "Odd");
        page->StoreToConfig();

        UnitConfig expected = DefaultRecord();
        expected.serialPort[port].baudRate = 19200;
        expected.serialPort[port].sevenDataBits = 1;
        expected.serialPort[port].parity = ParityOdd;
        EXPECT_EQ(Differences(config, expected), std::vector<std::size_t>{}) << group;
    }
}

TEST_F(CommunicationPage, ParityEntriesAndCodesMap)
{
    const PortView view = Port("Instrument 1");
    const std::pair<const char*, int> entries[] = {{"Odd", ParityOdd},
                                                   {"Even", ParityEven},
                                                   {"2 Stop Bits", ParityTwoStopBits},
                                                   {"None", ParityNone}};
    for (const auto& [entry, code] : entries) {
        Choose(view.parity, entry);
        page->StoreToConfig();
        EXPECT_EQ(config.serialPort[PortInstrument1].parity, code) << entry;
        page->LoadFromConfig();
        EXPECT_EQ(view.parity->currentText(), entry);
    }
    config.serialPort[PortInstrument1].parity = 9;
    page->LoadFromConfig();
    EXPECT_EQ(view.parity->currentText(), "None");
}

TEST_F(CommunicationPage, RatesBetweenEntriesShowTheLowerButRatesAboveTheListAreKept)
{
    config.serialPort[PortInstrument1].baudRate = 14400;
    config.serialPort[PortConfiguration].baudRate = 115200;
    config.serialPort[PortInstrument3].baudRate = 230400;
    Reload();
    EXPECT_EQ(Port("Instrument 1").baudRate->currentText(), "9600");
    EXPECT_EQ(Port("Configuration Port").baudRate->currentIndex(), -1);
    EXPECT_EQ(Port("Instrument 3").baudRate->currentIndex(), -1);

    page->StoreToConfig();
    EXPECT_EQ(Value(config.serialPort[PortInstrument1].baudRate), 9600u);
    EXPECT_EQ(Value(config.serialPort[PortConfiguration].baudRate), 115200u);
    EXPECT_EQ(Value(config.serialPort[PortInstrument3].baudRate), 230400u);

    Choose(Port("Configuration Port").baudRate, "38400");
    page->StoreToConfig();
    EXPECT_EQ(Value(config.serialPort[PortConfiguration].baudRate), 38400u);
}

TEST_F(CommunicationPage, UseModemEnablesTheStringWhichStaysInTheRecord)
{
    Press(UseModem());
    EXPECT_EQ(config.modemEnabled, 1);
    EXPECT_TRUE(ModemInit()->isEnabled());

    // Capitals as typed, where the cursor is.
    QTest::keyClicks(ModemInit(), "atz");
    QTest::keyPress(ModemInit(), Qt::Key_Home);
    QTest::keyClicks(ModemInit(), "at&f;");
    EXPECT_EQ(ModemInit()->text(), "AT&F;ATZ");
    EXPECT_EQ(ModemInit()->cursorPosition(), 5);

    Press(UseModem());
    EXPECT_EQ(config.modemEnabled, 0);
    EXPECT_FALSE(ModemInit()->isEnabled());
    EXPECT_STREQ(config.modemInitString, "AT&F;ATZ");
    EXPECT_EQ(ModemInit()->text(), "AT&F;ATZ");
}

TEST_F(CommunicationPage, ModemStringHoldsSixtyThreeLatin1Characters)
{
    config.modemEnabled = 1;
    Reload();
    Type(ModemInit(), QString(70, 'x'));
    page->StoreToConfig();
    EXPECT_EQ(std::string(config.modemInitString), std::string(63, 'X'));

    // Letters Latin-1 has no capital for stay small; what Latin-1 lacks is dropped.
    Type(ModemInit(), QString::fromUtf8("\xC3\xA9\xC3\xBF\xE2\x82\xAC"
                                        "b"));
    EXPECT_EQ(ModemInit()->text(), QString::fromUtf8("\xC3\x89\xC3\xBF"
                                                     "B"));
    page->StoreToConfig();
    EXPECT_STREQ(config.modemInitString,
                 "\xC9\xFF"
                 "B");
}

TEST_F(CommunicationPage, AddressFieldsTakeFourNumbersUpTo255)
{
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    CIpAddressField* address = Address("Address:");

    // Typed as people type an address: the dot moves on to the next number.
    address->Part(0)->setFocus();
    address->Part(0)->selectAll();
    for (const char c : std::string("10.0.300.7")) QTest::keyPress(QApplication::focusWidget(), c);
    EXPECT_EQ(Shown(address), "10.0.30.7") << "a number above 255 is refused";

    // Three digits move on by themselves; a number left blank reads as 0.
    address->Part(0)->setFocus();
    address->Part(0)->selectAll();
    for (const char c : std::string("172016")) QTest::keyPress(QApplication::focusWidget(), c);
    EXPECT_EQ(Shown(address), "172.016.30.7");
    Type(address->Part(3), "");
    page->StoreToConfig();
    const std::uint8_t expected[4] = {172, 16, 30, 0};
    EXPECT_EQ(std::memcmp(config.ipAddress, expected, 4), 0);

    Type(Address("Subnet:")->Part(2), "x7");
    page->StoreToConfig();
    EXPECT_EQ(config.subnetMask[2], 7);
    EXPECT_EQ(Shown(Address("Subnet:")), "255.255.7.0");
}

}  // namespace
