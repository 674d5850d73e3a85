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

class CommunicationPage : public testing::Test {
protected:
    CSystemTab& Open()
    {
        page = std::make_unique<CSystemTab>(&record);
        page->show();
        return *page;
    }

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
    QCheckBox* UseModem() { return Titled<QCheckBox>(Group(page.get(), "Modem"), "Use Modem"); }
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

    UnitConfig record = DefaultRecord();
    std::unique_ptr<CSystemTab> page;
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
    Open();
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
        Titled<QCheckBox>(Group(page.get(), "Configuration Port"), "Use Flow Control ");
    EXPECT_FALSE(flowControl->isChecked());
    EXPECT_EQ(Shown(Address("Address:")), "192.168.1.10");
    EXPECT_EQ(Shown(Address("Subnet:")), "255.255.255.0");
    EXPECT_FALSE(UseModem()->isChecked());
    EXPECT_EQ(ModemInit()->text(), "");
    EXPECT_FALSE(ModemInit()->isEnabled());
}

TEST_F(CommunicationPage, StoringTheDefaultsChangesNothing)
{
    Open().StoreToConfig();
    EXPECT_EQ(Differences(record, DefaultRecord()), std::vector<std::size_t>{});
}

TEST_F(CommunicationPage, EachGroupEditsItsOwnPort)
{
    for (const auto& [group, port] : kGroupPorts) {
        record = DefaultRecord();
        Open();
        const PortView view = Port(group);
        Choose(view.baudRate, "19200");
        Choose(view.dataBits, "7");
        Choose(view.parity, "Odd");
        page->StoreToConfig();

        UnitConfig expected = DefaultRecord();
        expected.serialPort[port].baudRate = 19200;
        expected.serialPort[port].sevenDataBits = 1;
        expected.serialPort[port].parity = ParityOdd;
        EXPECT_EQ(Differences(record, expected), std::vector<std::size_t>{}) << group;
    }
}

TEST_F(CommunicationPage, ParityEntriesAndCodesMap)
{
    Open();
    const PortView view = Port("Instrument 1");
    const std::pair<const char*, int> entries[] = {{"Odd", ParityOdd},
                                                   {"Even", ParityEven},
                                                   {"2 Stop Bits", ParityTwoStopBits},
                                                   {"None", ParityNone}};
    for (const auto& [entry, code] : entries) {
        Choose(view.parity, entry);
        page->StoreToConfig();
        EXPECT_EQ(record.serialPort[PortInstrument1].parity, code) << entry;
        page->LoadFromConfig();
        EXPECT_EQ(view.parity->currentText(), entry);
    }
    record.serialPort[PortInstrument1].parity = 9;
    page->LoadFromConfig();
    EXPECT_EQ(view.parity->currentText(), "None");
}

TEST_F(CommunicationPage, RatesBetweenEntriesShowTheLowerButRatesAboveTheListAreKept)
{
    record.serialPort[PortInstrument1].baudRate = 14400;
    record.serialPort[PortConfiguration].baudRate = 115200;
    record.serialPort[PortInstrument3].baudRate = 230400;
    Open();
    EXPECT_EQ(Port("Instrument 1").baudRate->currentText(), "9600");
    EXPECT_EQ(Port("Configuration Port").baudRate->currentIndex(), -1);
    EXPECT_EQ(Port("Instrument 3").baudRate->currentIndex(), -1);

    page->StoreToConfig();
    EXPECT_EQ(Value(record.serialPort[PortInstrument1].baudRate), 9600u);
    EXPECT_EQ(Value(record.serialPort[PortConfiguration].baudRate), 115200u);
    EXPECT_EQ(Value(record.serialPort[PortInstrument3].baudRate), 230400u);

    Choose(Port("Configuration Port").baudRate, "38400");
    page->StoreToConfig();
    EXPECT_EQ(Value(record.serialPort[PortConfiguration].baudRate), 38400u);
}

TEST_F(CommunicationPage, UseModemEnablesTheStringWhichStaysInTheRecord)
{
    Open();
    Click(UseModem());
    EXPECT_EQ(record.modemEnabled, 1);
    EXPECT_TRUE(ModemInit()->isEnabled());

    // Capitals as typed, where the cursor is.
    QTest::keyClicks(ModemInit(), "atz");
    QTest::keyClick(ModemInit(), Qt::Key_Home);
    QTest::keyClicks(ModemInit(), "at&f;");
    EXPECT_EQ(ModemInit()->text(), "AT&F;ATZ");
    EXPECT_EQ(ModemInit()->cursorPosition(), 5);

    Click(UseModem());
    EXPECT_EQ(record.modemEnabled, 0);
    EXPECT_FALSE(ModemInit()->isEnabled());
    EXPECT_STREQ(record.modemInitString, "AT&F;ATZ");
    EXPECT_EQ(ModemInit()->text(), "AT&F;ATZ");
}

TEST_F(CommunicationPage, ModemStringHoldsSixtyThreeLatin1Characters)
{
    record.modemEnabled = 1;
    Open();
    Type(ModemInit(), QString(70, 'x'));
    page->StoreToConfig();
    EXPECT_EQ(std::string(record.modemInitString), std::string(63, 'X'));

    // Letters Latin-1 has no capital for stay small; what Latin-1 lacks is dropped.
    Type(ModemInit(), QString::fromUtf8("\xC3\xA9\xC3\xBF\xE2\x82\xAC"
                                        "b"));
    EXPECT_EQ(ModemInit()->text(), QString::fromUtf8("\xC3\x89\xC3\xBF"
                                                     "B"));
    page->StoreToConfig();
    EXPECT_STREQ(record.modemInitString,
                 "\xC9\xFF"
                 "B");
}

TEST_F(CommunicationPage, AddressFieldsTakeFourNumbersUpTo255)
{
    Open();
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    CIpAddressField* address = Address("Address:");

    // Typed as people type an address: the dot moves on to the next number.
    address->Part(0)->setFocus();
    address->Part(0)->selectAll();
    for (const char c : std::string("10.0.300.7")) QTest::keyClick(QApplication::focusWidget(), c);
    EXPECT_EQ(Shown(address), "10.0.30.7") << "a number above 255 is refused";

    // Three digits move on by themselves; a number left blank reads as 0.
    address->Part(0)->setFocus();
    address->Part(0)->selectAll();
    for (const char c : std::string("172016")) QTest::keyClick(QApplication::focusWidget(), c);
    EXPECT_EQ(Shown(address), "172.016.30.7");
    Type(address->Part(3), "");
    page->StoreToConfig();
    const std::uint8_t expected[4] = {172, 16, 30, 0};
    EXPECT_EQ(std::memcmp(record.ipAddress, expected, 4), 0);

    Type(Address("Subnet:")->Part(2), "x7");
    page->StoreToConfig();
    EXPECT_EQ(record.subnetMask[2], 7);
    EXPECT_EQ(Shown(Address("Subnet:")), "255.255.7.0");
}

}  // namespace
