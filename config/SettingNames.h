// The words the pages use for the record's coded settings, in the order of their lists.
// The command-line program shows a record with the same words.
#pragma once

#include <array>

#include "config/UnitConfig.h"

// Indexed by InstrumentType.
inline constexpr std::array<const char*, 4> kInstrumentTypeNames = {"Inactive", "KESTREL",
                                                                    "Culvert", "MARTEN"};
// Indexed by TotalizerMode.
inline constexpr std::array<const char*, 3> kTotalizerModeNames = {"Net", "Positive", "Negative"};
// Indexed by LcdShow.
inline constexpr std::array<const char*, 6> kLcdShowNames = {
    "Instrument 1 Data", "Instrument 2 Data", "Instrument 3 Data",
    "Totalizer",         "4-20 mA Outputs",   "Pushed Data Mode"};
// Indexed by OutputType - 1.
inline constexpr std::array<const char*, 2> kOutputTypeNames = {"Analog (4 - 20mA)", "MODBUS"};
// The "Protocol:" list: ASCII first.
inline constexpr std::array<const char*, 2> kModbusProtocolNames = {"ASCII", "RTU"};
// An entry of the instrument lists, for instrument number n counted from 1.
inline constexpr char kInstrumentListFormat[] = "Ins %d";

// The Communication page's port groups in page order, with the unit's port each edits (the
// unit numbers its ports by wiring, not by page order).
struct PortGroupName {
    const char* title;
    SerialPortNumber port;
};
inline constexpr std::array<PortGroupName, 4> kPortGroups = {{
    {"Configuration Port", PortConfiguration},
    {"Instrument 1", PortInstrument1},
    {"Instrument 2", PortInstrument2},
    {"Instrument 3", PortInstrument3},
}};
