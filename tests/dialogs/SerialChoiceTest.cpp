// The unit dialogs' port list when the port numbers leave gaps, as Windows' own COM numbers
// do: every detected port is offered by its number, however far beyond the usual eight.
#include <gtest/gtest.h>

#include <QComboBox>
#include <memory>

#include "dialogs/SerialChoice.h"
#include "tests/comm/FakeSystem.h"

TEST(PortList, OffersEveryDetectedPortByItsOwnNumber)
{
    std::vector<SerialPortEntry> ports;
    for (int number = 1; number <= 8; ++number)
        ports.push_back({number, "", false, PortLabel(number, "", false), "", ""});
    ports[2] = {3, "\\\\.\\COM3", false, "COM 3 (\\Device\\Serial2)", "", ""};
    ports.push_back({12, "\\\\.\\COM12", false, "COM 12 (\\Device\\VCP0)", "", ""});
    const std::unique_ptr<QComboBox> list(NewPortList("portList", ports));

    ASSERT_EQ(list->count(), 9);
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(list->itemText(8), "COM 12 (\\Device\\VCP0)");
    const std::pair<int, std::string> chosen[] = {
        {8, "\\\\.\\COM12"}, {2, "\\\\.\\COM3"}, {4, "COM 5"}};
    for (const auto& [position, device] : chosen) {
        list->setCurrentIndex(position);
        EXPECT_EQ(ChosenPort(*list), device) << position;
    }

    // Typed, a port's name leads to its number's entry, not to the position of that number.
    list->setEditable(true);
    const std::pair<const char*, std::optional<std::string>> typed[] = {
        {"com12", "\\\\.\\COM12"},
        {"COM 12 (\\Device\\VCP0)", "\\\\.\\COM12"},
        {"COM 3", "\\\\.\\COM3"},
        {"COM 9", std::nullopt}};
    for (const auto& [text, device] : typed) {
        list->setEditText(QString::fromLatin1(text));
        EXPECT_EQ(ChosenPort(*list), device) << text;
    }
}

// An adapter plugged in again may get another number, as other adapters come and go: the
// dialog finds it by its by-id link. A port without one is found by its device.
TEST(RememberedChoice, AnAdapterIsFoundAgainByItsByIdLinkWhateverItsNumber)
{
    const std::string ftdiLink = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    auto lists = [](const CFakeSystem& system) {
        return std::pair{
            std::unique_ptr<QComboBox>(NewPortList("portList", ListSerialPorts(8, system.Roots()))),
            std::unique_ptr<QComboBox>(NewBaudList("baudList"))};
    };
    {
        CFakeSystem before;
        before.AddUsbTerminal("ttyUSB0", "1-1", kCh340Adapter);
        before.AddUsbTerminal("ttyUSB1", "1-2", kFtdiAdapter, ftdiLink);
        auto [ports, rates] = lists(before);
        ports->setCurrentIndex(1);
        rates->setCurrentText("9600");
        RememberChoices("ConnectDialog", {ports.get(), rates.get()});
    }
    CFakeSystem after;  // the FTDI adapter is now ttyUSB2 and COM 3
    after.AddUsbTerminal("ttyUSB0", "1-1", kCp2102Adapter, "usb-Silicon_Labs_CP2102-if00-port0");
    after.AddUsbTerminal("ttyUSB1", "1-2", kCh340Adapter);
    after.AddUsbTerminal("ttyUSB2", "1-3", kFtdiAdapter, ftdiLink);
    auto [ports, rates] = lists(after);
    PreselectRemembered("ConnectDialog", {ports.get(), rates.get()});
    EXPECT_EQ(ports->currentText().toStdString(),
              "COM 3 (FT232R USB UART, A50285BI, " + after.Dev("ttyUSB2") + ")");
    EXPECT_EQ(rates->currentText(), "9600");

    // Typed into a list that can be typed into, a port's name is remembered as its entry;
    // a port that has gone leaves the first entry chosen, and the rate still comes back.
    ports->setEditable(true);
    ports->setEditText("com2");
    RememberChoices("TestOutputDialog", {ports.get(), rates.get()});
    CFakeSystem unplugged;
    auto [fewer, sameRates] = lists(unplugged);
    PreselectRemembered("TestOutputDialog", {fewer.get(), sameRates.get()});
    EXPECT_EQ(fewer->currentIndex(), 0);
    EXPECT_EQ(sameRates->currentText(), "9600");
    auto [again, againRates] = lists(after);
    PreselectRemembered("TestOutputDialog", {again.get(), againRates.get()});
    EXPECT_EQ(again->currentIndex(), 1);
}
