#include "cli/ShowConfig.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <vector>

#include "cli/CliOutput.h"
#include "config/AlarmText.h"
#include "config/NumberText.h"
#include "config/Quantities.h"
#include "config/SettingNames.h"
#include "config/SettingText.h"

namespace {

// Values are built in the record's Latin-1 and converted once, when the section is printed.
struct Row {
    std::string label;  // empty: the value stands alone (the alarm lines)
    std::string value;
};

struct Section {
    const char* title;
    std::vector<Row> rows;
};

using Getter = std::string (*)(const UnitConfig&);
struct Field {
    const char* label;
    Getter value;
};

void AddFields(std::vector<Row>& rows, std::span<const Field> fields, const UnitConfig& c)
{
    for (const Field& field : fields) rows.push_back({field.label, field.value(c)});
}

std::string Printf(const char* format, auto... args)
{
    char text[64];
    (void)std::snprintf(text, sizeof text, format, args...);
    return text;
}

// A stored base-unit integer in the record's display unit for that kind, with its abbreviation.
std::string Measured(std::int32_t stored, int unitCode)
{
    std::string text = DisplayValue(stored, unitCode);
    const std::string abbreviation = UnitAbbreviation(unitCode);
    if (!abbreviation.empty()) text += " " + abbreviation;
    return text;
}

std::string PortText(const SerialPortSetting& port)
{
    return std::to_string(static_cast<std::int32_t>(port.baudRate)) + " baud, " +
           (port.sevenDataBits == 1 ? "7" : "8") + " data bits, parity " + ParityText(port.parity);
}

// --- Site ---

const Field kSiteFields[] = {
    {"Site Name:", [](const UnitConfig& c) { return RecordText(c.siteName); }},
};

std::string LcdShowText(const UnitConfig& c)
{
    std::string text;
    for (std::size_t i = 0; i < kLcdShowNames.size(); ++i) {
        if (c.lcdShow[i] == 0) continue;
        if (!text.empty()) text += ", ";
        text += kLcdShowNames[i];
    }
    return text.empty() ? "nothing" : text;
}

const Field kLcdFields[] = {
    {"LCD Display:", LcdShowText},
    {"Cycle Time:", [](const UnitConfig& c) { return Printf("%d sec.", c.lcdCycleTime); }},
    {"LCD Backlight On:", [](const UnitConfig& c) { return YesNo(c.lcdBacklight); }},
    {"Totalizer Mode:",
     [](const UnitConfig& c) {
         return Choice(kTotalizerModeNames, c.totalizerMode, c.totalizerMode);
     }},
};

struct UnitField {
    const char* label;
    QuantityKind kind;
};
// The area unit has no control of its own (it follows the flow unit) but reaches the unit.
const UnitField kUnitFields[] = {
    {"Flow Units:", KindFlow},     {"Velocity Units:", KindVelocity},
    {"Depth Units:", KindDepth},   {"Temperature Units:", KindTemperature},
    {"Volume Units:", KindVolume}, {"Area Units:", KindArea},
};

Section SiteSection(const UnitConfig& c)
{
    Section section{"Site", {}};
    AddFields(section.rows, kSiteFields, c);
    for (int i = 0; i < 3; ++i) {
        const std::string prefix = "Instrument " + std::to_string(i + 1) + " ";
        const int type = c.instrumentType[i];
        section.rows.push_back({prefix + "Type:", Choice(kInstrumentTypeNames, type, type)});
        section.rows.push_back({prefix + "Name:", RecordText(c.instrumentName[i])});
        section.rows.push_back(
            {prefix + "Timeout:", InstrumentTimeoutText(c.instrumentTimeout[i])});
    }
    AddFields(section.rows, kLcdFields, c);
    for (const UnitField& field : kUnitFields)
        section.rows.push_back({field.label, UnitText(c.unitCode[field.kind])});
    section.rows.push_back(
        {"Clear all data if:", CountOrOff(c.timeoutClearCount, "timeouts occur")});
    return section;
}

// --- Communication ---

const Field kNetworkFields[] = {
    {"Use Flow Control:", [](const UnitConfig& c) { return YesNo(c.configPortFlowControl); }},
    {"Address:", [](const UnitConfig& c) { return Dotted(c.ipAddress); }},
    {"Subnet:", [](const UnitConfig& c) { return Dotted(c.subnetMask); }},
    {"Use Modem:", [](const UnitConfig& c) { return YesNo(c.modemEnabled); }},
    {"Initialization String:", [](const UnitConfig& c) { return RecordText(c.modemInitString); }},
};

Section CommunicationSection(const UnitConfig& c)
{
    Section section{"Communication", {}};
    // The page's group titles; outside their group boxes the instruments' need " Port".
    for (const PortGroupName& group : kPortGroups) {
        const std::string title = group.title;
        const std::string label = group.port == PortConfiguration ? title : title + " Port";
        section.rows.push_back({label + ":", PortText(c.serialPort[group.port])});
    }
    AddFields(section.rows, kNetworkFields, c);
    return section;
}

// --- Alarms ---

Section AlarmsSection(const UnitConfig& c)
{
    Section section{"Alarms", {}};
    for (int n = 1; n <= 8; ++n)
        section.rows.push_back({"", DescribeRuleSlot(n, c.alarmRule[n - 1], c)});
    return section;
}

// --- Output ---

std::string ChannelText(const UnitConfig& c, int k)
{
    const AnalogChannel& channel = c.analogChannel[k];
    const int unit = c.unitCode[QuantityKindOf(channel.dataType)];
    std::string text = channel.enabled != 0 ? "on, " : "off, ";
    text += Printf(kInstrumentListFormat, channel.instrument + 1);
    text += std::string(", ") + DataTypeName(channel.dataType);
    text += ", 4mA: " + Measured(channel.at4mA, unit);
    text += ", 20mA: " + Measured(channel.at20mA, unit);
    if (k >= c.analogChannelCount) text += " (not in this unit)";
    return text;
}

const Field kOutputFields[] = {
    {"Output Type:",
     [](const UnitConfig& c) {
         return Choice(kOutputTypeNames, c.outputType - OutputAnalog, c.outputType);
     }},
    {"Analog Channels in Unit:",
     [](const UnitConfig& c) { return std::to_string(c.analogChannelCount); }},
};

const Field kModbusFields[] = {
    {"Protocol:",
     [](const UnitConfig& c) {
         return std::string(kModbusProtocolNames[c.modbusAscii != 0 ? 0 : 1]);
     }},
    {"MODBUS Address:", [](const UnitConfig& c) { return std::to_string(c.modbusAddress); }},
    {"MODBUS Port:", [](const UnitConfig& c) { return PortText(c.serialPort[PortModbus]); }},
    {"Use alternate MODBUS port (disables instrument 2):",
     [](const UnitConfig& c) { return YesNo(c.modbusAltPort); }},
};

Section OutputSection(const UnitConfig& c)
{
    Section section{"Output", {}};
    AddFields(section.rows, kOutputFields, c);
    for (int k = 0; k < 4; ++k)
        section.rows.push_back({"Channel " + std::to_string(k + 1) + ":", ChannelText(c, k)});
    AddFields(section.rows, kModbusFields, c);
    return section;
}

// --- Smoothing ---

struct SmoothingGroup {
    const char* name;
    QuantityKind kind;  // its display unit
    int entry;          // index into UnitConfig::smoothing
};
const SmoothingGroup kSmoothingGroups[] = {
    {"Flow", KindFlow, 0},
    {"Velocity", KindVelocity, 1},
    {"Depth", KindDepth, 2},
};

const Field kSmoothingFields[] = {
    {"Display smoothed flow, velocity, and depth values on LCD and main web page:",
     [](const UnitConfig& c) { return YesNo(c.lcdShowSmoothed); }},
    {"Clear smoothed values if:",
     [](const UnitConfig& c) { return CountOrOff(c.badReadingClearCount, "bad readings occur"); }},
};

Section SmoothingSection(const UnitConfig& c)
{
    Section section{"Smoothing", {}};
    for (const SmoothingGroup& group : kSmoothingGroups) {
        const SmoothingSetting& setting = c.smoothing[group.entry];
        const int unit = c.unitCode[group.kind];
        const std::string prefix = std::string(group.name) + " ";
        section.rows.push_back(
            {prefix + "TCF:", FormatDecimal(static_cast<double>(setting.tcf), 2)});
        section.rows.push_back(
            {prefix + "Don't smooth changes over:", Measured(setting.band, unit)});
        section.rows.push_back(
            {prefix + "Force to zero if less than:", Measured(setting.zeroBelow, unit)});
    }
    AddFields(section.rows, kSmoothingFields, c);
    return section;
}

// Labels line up within a section; a label too long for the column takes one blank.
std::string Render(const Section& section)
{
    constexpr std::size_t kMaxColumn = 36;
    std::size_t column = 0;
    for (const Row& row : section.rows)
        if (row.label.size() <= kMaxColumn) column = std::max(column, row.label.size());

    std::string text = std::string(section.title) + "\n";
    for (const Row& row : section.rows) {
        text += "  ";
        text += row.label;
        if (!row.label.empty() && !row.value.empty()) {
            text += std::string(row.label.size() < column ? column - row.label.size() : 0, ' ');
            text += ' ';
        }
        text += Latin1ToUtf8(row.value) + "\n";
    }
    return text;
}

}  // namespace

std::string ShowConfig(const UnitConfig& config)
{
    const Section sections[] = {SiteSection(config), CommunicationSection(config),
                                AlarmsSection(config), OutputSection(config),
                                SmoothingSection(config)};
    std::string text;
    for (const Section& section : sections) {
        if (!text.empty()) text += "\n";
        text += Render(section);
    }
    return text;
}
