#include "dialogs/SerialChoice.h"

#include <QComboBox>

#include "comm/PortNames.h"
#include "pages/SerialSettings.h"

namespace {

constexpr int kPortCount = 8;

}  // namespace

QComboBox* NewPortList(const char* name)
{
    auto* list = new QComboBox;
    list->setObjectName(QString::fromLatin1(name));
    const std::vector<SerialPortEntry> ports = ListSerialPorts(kPortCount);
    for (int i = 0; i < kPortCount; ++i) {
        const SerialPortEntry& port = ports[i];
        const std::string device =
            port.device.empty() ? PortLabel(port.number, "", false) : port.device;
        list->addItem(QString::fromStdString(port.label), QString::fromStdString(device));
    }
    list->setCurrentIndex(0);
    return list;
}

QComboBox* NewBaudList(const char* name)
{
    auto* list = new QComboBox;
    list->setObjectName(QString::fromLatin1(name));
    for (int i = 0; i < kDialogBaudCount; ++i) list->addItem(QString::number(baudRateTable[i]));
    list->setCurrentIndex(kDefaultBaudIndex);
    return list;
}

std::optional<int> ChosenPosition(const QComboBox& list)
{
    const int position = list.isEditable() ? list.findText(list.currentText(), Qt::MatchExactly)
                                           : list.currentIndex();
    if (position < 0) return std::nullopt;
    return position;
}

std::optional<std::string> ChosenPort(const QComboBox& list)
{
    const std::optional<int> position = ChosenPosition(list);
    if (!position) return std::nullopt;
    return list.itemData(*position).toString().toStdString();
}

std::optional<int> ChosenBaudRate(const QComboBox& list)
{
    const std::optional<int> position = ChosenPosition(list);
    if (!position || *position >= kDialogBaudCount) return std::nullopt;
    return baudRateTable[*position];
}
