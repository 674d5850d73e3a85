// The unit dialogs' port list when the port numbers leave gaps, as Windows' own COM numbers
// do: every detected port is offered by its number, however far beyond the usual eight.
#include <gtest/gtest.h>

#include <QComboBox>
#include <memory>

#include "dialogs/SerialChoice.h"

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
