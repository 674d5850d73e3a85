// The port and baud lists every unit dialog offers, and what their selections mean.
#pragma once

#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/PortNames.h"

class QComboBox;
class QSettings;

// "COM 1" to "COM 8", and any detected port beyond them, each naming its device when one is
// mapped ("COM 1 (simulated unit)", "COM 2 (/dev/ttyUSB0)", on Windows "COM 12
// (\Device\VCP0)"); the first entry selected. The list is named `name`. Typing a port's
// name ("COM 2", "com2") chooses that port, also in a list that can be typed into.
QComboBox* NewPortList(const char* name,
                       const std::vector<SerialPortEntry>& ports = ListSerialPorts());
// The first seven unit rates, 1200 to 57600; 57600 selected.
QComboBox* NewBaudList(const char* name);

// The list's position the user chose: its current item, or in a list the user can type into,
// the item whose text is exactly what was typed. Nothing when no item is chosen.
std::optional<int> ChosenPosition(const QComboBox& list);
// The device of the chosen entry, or "COM n" when that number has no device (opening it then
// fails with the usual text). In a list that can be typed into, a port's name counts as its
// entry. Nothing when no entry is chosen.
std::optional<std::string> ChosenPort(const QComboBox& list);
std::optional<int> ChosenBaudRate(const QComboBox& list);

// Where the program keeps what it remembers between runs (an INI file in the user's
// configuration folder; tests move it with QSettings::setPath).
std::unique_ptr<QSettings> ProgramSettings();

// Each dialog remembers, under its own name, the entry last used in each of its lists (by the
// lists' names): a port by the name of its adapter's by-id link where it has one, so that the
// adapter is found again whatever number it has been given, otherwise by its device; a rate by its
// text.
void RememberChoices(const QString& dialog, const QList<const QComboBox*>& lists);
// Selects the remembered entries that the lists offer again; the others stay as they are.
void PreselectRemembered(const QString& dialog, const QList<QComboBox*>& lists);
