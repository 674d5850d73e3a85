#include "config/SettingList.h"

#include <cstdio>
#include <utility>

#include "config/CommandList.h"
#include "config/NumberText.h"
#include "config/Quantities.h"
#include "config/SettingNames.h"
#include "config/SettingText.h"

namespace {

std::string Number(std::int64_t value)
{
    return std::to_string(value);
}

std::string Flag(std::uint8_t byte)
{
    return byte != 0 ? "1" : "0";
}

// Appends settings in line order; `sent` is empty where the lines leave a setting out.
class CSettingBuilder {
public:
    CSettingBuilder(const UnitConfig& config, const UnitConfig& units, std::vector<Setting>& list)
        : c(config), units(units), list(list)
    {
    }

    void Add(const char* page, std::string group, std::string name, std::string value, RawValue raw,
             std::optional<std::string> sent, std::string unit = {})
    {
        list.push_back({page, std::move(group), std::move(name), std::move(value), std::move(unit),
                        std::move(raw), std::move(sent)});
    }

    // A stored base-unit integer, shown in the display unit `units` has for its kind.
    void AddMeasured(const char* page, std::string group, std::string name, std::int32_t stored,
                     QuantityKind kind, bool carried)
    {
        const int unit = units.unitCode[kind];
        Add(page, std::move(group), std::move(name), DisplayValue(stored, unit), stored,
            Sent(carried, Number(stored)), UnitAbbreviation(unit));
    }

    void AddFlag(const char* page, std::string group, std::string name, std::uint8_t flag,
                 bool carried = true)
    {
        Add(page, std::move(group), std::move(name), YesNo(flag), flag, Sent(carried, Flag(flag)));
    }

    static std::optional<std::string> Sent(bool carried, std::string text)
    {
        if (!carried) return std::nullopt;
        return text;
    }

    void Network()
    {
        Add("Communication", "", "Address", Dotted(c.ipAddress), Dotted(c.ipAddress),
            Dotted(c.ipAddress));
        Add("Communication", "", "Subnet", Dotted(c.subnetMask), Dotted(c.subnetMask),
            Dotted(c.subnetMask));
        AddFlag("Communication", "", "Use Modem", c.modemEnabled);
        Add("Communication", "", "Initialization String", RecordText(c.modemInitString),
            RecordText(c.modemInitString),
            Sent(c.modemEnabled != 0,
                 CommandTextArgument(c.modemInitString, sizeof c.modemInitString)));
    }

    void Site()
    {
        Add("Site", "", "Site Name", RecordText(c.siteName), RecordText(c.siteName),
            CommandTextArgument(c.siteName, sizeof c.siteName));
        for (int i = 0; i < 3; ++i) {
            const std::string group = "Instrument " + std::to_string(i + 1);
            const int type = c.instrumentType[i];
            Add("Site", group, "Type", Choice(kInstrumentTypeNames, type, type), type,
                ModelWord(c.instrumentType[i]));
            Add("Site", group, "Name", RecordText(c.instrumentName[i]),
                RecordText(c.instrumentName[i]),
                Sent(type != InstrumentInactive,
                     CommandTextArgument(c.instrumentName[i], sizeof c.instrumentName[i])));
        }
        for (int i = 0; i < 3; ++i) {
            // A copy: the record is packed, and a reference to its field may be misaligned.
            const std::int16_t seconds = c.instrumentTimeout[i];
            Add("Site", "Instrument " + std::to_string(i + 1), "Timeout",
                InstrumentTimeoutText(seconds), seconds, Number(seconds));
        }
    }

    void Ports()
    {
        // In the unit's port order, as the "SP" lines go.
        for (int p = 0; p < 5; ++p) {
            const SerialPortSetting& port = c.serialPort[p];
            const char* page = p == PortModbus ? "Output" : "Communication";
            std::string group = "MODBUS Port";
            for (const PortGroupName& named : kPortGroups)
                if (named.port == p)
                    group = named.port == PortConfiguration ? named.title
                                                            : std::string(named.title) + " Port";
            const auto rate = static_cast<std::int32_t>(port.baudRate);
            Add(page, group, "Baudrate", Number(rate), rate, Number(rate));
            const bool seven = port.sevenDataBits == 1;
            Add(page, group, "Data bits", seven ? "7" : "8", port.sevenDataBits, seven ? "0" : "1");
            Add(page, group, "Parity", ParityText(port.parity), port.parity, Number(port.parity));
        }
        AddFlag("Communication", "", "Use Flow Control", c.configPortFlowControl);
    }

    void Output()
    {
        const bool modbusLines = c.outputType == OutputModbus || c.modbusAltPort != 0;
        Add("Output", "", "MODBUS Address", Number(c.modbusAddress), c.modbusAddress,
            Sent(modbusLines, Number(c.modbusAddress)));
        Add("Output", "", "Protocol", kModbusProtocolNames[c.modbusAscii != 0 ? 0 : 1],
            c.modbusAscii, Sent(modbusLines, c.modbusAscii != 0 ? "0" : "1"));
        Add("Output", "", "Use alternate MODBUS port (disables instrument 2)",
            YesNo(c.modbusAltPort), c.modbusAltPort, Number(c.modbusAltPort));
        // Another code sends no "SA" line at all, which differs from either line.
        const bool typeSent = c.outputType == OutputAnalog || c.outputType == OutputModbus;
        Add("Output", "", "Output Type",
            Choice(kOutputTypeNames, c.outputType - OutputAnalog, c.outputType), c.outputType,
            typeSent ? Number(c.outputType) : "");
        const bool analog = c.outputType == OutputAnalog;
        for (int k = 0; k < 4; ++k) {
            const AnalogChannel& channel = c.analogChannel[k];
            const std::string group = "Channel " + std::to_string(k + 1);
            AddFlag("Output", group, "On", channel.enabled, analog);
            const bool ranged = analog && channel.enabled != 0;
            char instrument[16];
            (void)std::snprintf(instrument, sizeof instrument, kInstrumentListFormat,
                                channel.instrument + 1);
            Add("Output", group, "Instrument", instrument, channel.instrument,
                Sent(ranged, Number(channel.instrument + 1)));
            Add("Output", group, "Data Type", DataTypeName(channel.dataType), channel.dataType,
                Sent(ranged, Number(channel.dataType)));
            const QuantityKind kind = QuantityKindOf(channel.dataType);
            AddMeasured("Output", group, "4mA", channel.at4mA, kind, ranged);
            AddMeasured("Output", group, "20mA", channel.at20mA, kind, ranged);
        }
        // The unit reports its own count; no line sets it.
        const std::uint16_t count = c.analogChannelCount;
        Add("Output", "", "Analog Channels in Unit", Number(count), count, std::nullopt);
    }

    void Smoothing()
    {
        Add("Smoothing", "", "Clear smoothed values if",
            CountOrOff(c.badReadingClearCount, "bad readings occur"), c.badReadingClearCount,
            Number(c.badReadingClearCount));
        Add("Site", "", "Clear all data if", CountOrOff(c.timeoutClearCount, "timeouts occur"),
            c.timeoutClearCount, Number(c.timeoutClearCount));
        static constexpr std::pair<const char*, QuantityKind> kGroups[] = {
            {"Flow", KindFlow}, {"Velocity", KindVelocity}, {"Depth", KindDepth}};
        for (int q = 0; q < 3; ++q)
            AddMeasured("Smoothing", kGroups[q].first, "Don't smooth changes over",
                        c.smoothing[q].band, kGroups[q].second, true);
        for (int q = 0; q < 3; ++q) {
            const float tcf = c.smoothing[q].tcf;
            Add("Smoothing", kGroups[q].first, "TCF", FormatDecimal(static_cast<double>(tcf), 2),
                static_cast<double>(tcf), Number(TcfThousandths(tcf)));
        }
        for (int q = 0; q < 3; ++q)
            AddMeasured("Smoothing", kGroups[q].first, "Force to zero if less than",
                        c.smoothing[q].zeroBelow, kGroups[q].second, true);
        AddFlag("Smoothing", "",
                "Display smoothed flow, velocity, and depth values on LCD and main web page",
                c.lcdShowSmoothed);
    }

    void Condition(const std::string& group, const char* which, int instrument, int dataType,
                   int compare, std::int32_t threshold, bool sent)
    {
        const std::string prefix = std::string("Condition ") + which + " ";
        char instrumentText[16];
        (void)std::snprintf(instrumentText, sizeof instrumentText, kInstrumentListFormat,
                            instrument + 1);
        Add("Alarms", group, prefix + "Instrument", instrumentText, instrument,
            Sent(sent, Number(instrument + 1)));
        Add("Alarms", group, prefix + "Data Type", DataTypeName(dataType), dataType,
            Sent(sent, Number(dataType)));
        Add("Alarms", group, prefix + "Comparison", ComparisonText(compare), compare,
            Sent(sent, Number(compare)));
        if (compare == AlarmComparePulse) {
            // The pulse volume is kept in thousandths of the volume base unit.
            const int unit = units.unitCode[KindVolume];
            Add("Alarms", group, prefix + "Threshold",
                FormatValue(ToDisplayUnits(threshold, unit) / 1000), threshold,
                Sent(sent, Number(threshold)), UnitAbbreviation(unit));
        } else {
            AddMeasured("Alarms", group, prefix + "Threshold", threshold, QuantityKindOf(dataType),
                        sent);
        }
    }

    static std::string ComparisonText(int compare)
    {
        static constexpr const char* kTexts[] = {">", "<", ">=", "<=", "==", "pulse every"};
        if (compare >= 1 && compare <= 6) return kTexts[compare - 1];
        return "unknown (" + std::to_string(compare) + ")";
    }

    void Rules()
    {
        for (int n = 1; n <= 8; ++n) {
            const AlarmRule& rule = c.alarmRule[n - 1];
            const std::string group = "#" + std::to_string(n);
            const bool on = rule.enabled != 0;
            AddFlag("Alarms", group, "In use", rule.enabled);
            AddFlag("Alarms", group, "Latching", rule.latching, on);
            // Another code sends no "RO" line, which differs from every "RO" line.
            const char* combine = rule.combine == AlarmCombineAnd    ? "AND"
                                  : rule.combine == AlarmCombineOr   ? "OR"
                                  : rule.combine == AlarmCombineNone ? "NONE"
                                                                     : nullptr;
            Add("Alarms", group, "Combine",
                combine != nullptr ? combine : "unknown (" + Number(rule.combine) + ")",
                rule.combine, Sent(on, combine != nullptr ? combine : ""));
            Condition(group, "1", rule.instrument1, rule.dataType1, rule.compare1, rule.threshold1,
                      on);
            Condition(group, "2", rule.instrument2, rule.dataType2, rule.compare2, rule.threshold2,
                      on && rule.combine != AlarmCombineNone);
        }
    }

    void Lcd()
    {
        AddFlag("Site", "", "LCD Backlight On", c.lcdBacklight);
        Add("Site", "", "Cycle Time", Number(c.lcdCycleTime) + " sec.", c.lcdCycleTime,
            Number(c.lcdCycleTime));
        for (std::size_t i = 0; i < kLcdShowNames.size(); ++i)
            AddFlag("Site", "LCD Display", kLcdShowNames[i], c.lcdShow[i]);
        Add("Site", "", "Totalizer Mode",
            Choice(kTotalizerModeNames, c.totalizerMode, c.totalizerMode), c.totalizerMode,
            Number(c.totalizerMode));
    }

    // The "SU" lines, in the unit's kind order. A changed unit is a setting of its own; the
    // values beside it are shown in `units`, whatever this record chose.
    void Units()
    {
        static constexpr std::pair<const char*, QuantityKind> kUnits[] = {
            {"Depth Units", KindDepth},   {"Velocity Units", KindVelocity},
            {"Flow Units", KindFlow},     {"Area Units", KindArea},
            {"Volume Units", KindVolume}, {"Temperature Units", KindTemperature}};
        for (const auto& [name, kind] : kUnits)
            Add("Site", "", name, UnitText(c.unitCode[kind]), c.unitCode[kind],
                Number(c.unitCode[kind]));
    }

private:
    const UnitConfig& c;
    const UnitConfig& units;
    std::vector<Setting>& list;
};

}  // namespace

std::string Setting::Path() const
{
    return page + " / " + (group.empty() ? "" : group + " / ") + name;
}

std::string Setting::ValueText() const
{
    return unit.empty() ? value : value + " " + unit;
}

std::vector<Setting> ListSettings(const UnitConfig& config, const UnitConfig& units)
{
    std::vector<Setting> list;
    CSettingBuilder builder(config, units, list);
    builder.Network();
    builder.Site();
    builder.Ports();
    builder.Output();
    builder.Smoothing();
    builder.Rules();
    builder.Lcd();
    builder.Units();
    return list;
}

std::vector<SettingChange> CompareSettings(const UnitConfig& first, const UnitConfig& second)
{
    const std::vector<Setting> before = ListSettings(first);
    const std::vector<Setting> after = ListSettings(second, first);
    // Both lists come from one builder, so a setting has the same position in each.
    std::vector<SettingChange> changes;
    for (std::size_t i = 0; i < before.size(); ++i)
        if (before[i].Carried() && after[i].Carried() && before[i].sent != after[i].sent)
            changes.push_back({before[i], after[i]});
    return changes;
}

std::string ChangeLine(const SettingChange& change)
{
    return Latin1ToUtf8(change.before.Path() + ": " + change.before.ValueText()) + " \u2192 " +
           Latin1ToUtf8(change.after.ValueText());
}

std::string ChangeLines(const std::vector<SettingChange>& changes)
{
    std::string text;
    for (const SettingChange& change : changes) text += ChangeLine(change) + "\n";
    return text;
}
