#include "config/CommandList.h"

#include "config/Quantities.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

int Flag(std::uint8_t byte) { return byte != 0 ? 1 : 0; }

template <std::size_t N>
std::string TextArgument(const char (&field)[N])
{
    return CommandTextArgument(field, N);
}

std::string Format(const char* format, auto... args)
{
    char line[128];
    std::snprintf(line, sizeof line, format, args...);
    return line;
}

void AppendRule(const AlarmRule& rule, int n, std::vector<std::string>& lines)
{
    if (rule.enabled == 0) {
        lines.push_back(Format("RE %d 0", n));
        return;
    }
    lines.push_back(Format("RE %d 1", n));
    lines.push_back(Format("RL %d %d", n, Flag(rule.latching)));
    switch (rule.combine) {
    case AlarmCombineAnd: lines.push_back(Format("RO %d AND", n)); break;
    case AlarmCombineOr: lines.push_back(Format("RO %d OR", n)); break;
    case AlarmCombineNone: lines.push_back(Format("RO %d NONE", n)); break;
    default: break;
    }
    lines.push_back(Format("RC %d 1 %d %d %d %d", n, rule.instrument1 + 1, rule.dataType1,
                           rule.compare1, int(rule.threshold1)));
    if (rule.combine != AlarmCombineNone)
        lines.push_back(Format("RC %d 2 %d %d %d %d", n, rule.instrument2 + 1, rule.dataType2,
                               rule.compare2, int(rule.threshold2)));
}

}  // namespace

// Control characters are dropped: a line feed read from a file would otherwise end the line
// early and let the rest reach the unit as a command of its own.
std::string CommandTextArgument(const char* field, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size && field[i] != '\0'; ++i) {
        const auto byte = static_cast<unsigned char>(field[i]);
        if (byte < 0x20 || byte == 0x7F) continue;
        text += field[i];
    }
    return text;
}

const char* ModelWord(std::uint8_t type)
{
    switch (type) {
    case InstrumentInactive: return "INACTIVE";
    case InstrumentKestrel: return "KESTREL";
    case InstrumentMarten: return "MARTEN";
    default: return "CULVERT";
    }
}

// The float is widened before scaling.
int TcfThousandths(float tcf) { return TruncateToInt32(double(tcf) * 1000.0 + 0.5); }

void BuildCommandList(const UnitConfig& c, std::vector<std::string>& lines)
{
    lines.push_back(Format("IP %d %d %d %d", c.ipAddress[0], c.ipAddress[1], c.ipAddress[2],
                           c.ipAddress[3]));
    lines.push_back(Format("IS %d %d %d %d", c.subnetMask[0], c.subnetMask[1], c.subnetMask[2],
                           c.subnetMask[3]));
    if (c.modemEnabled != 0) {
        lines.push_back("SM 1");
        lines.push_back("SB " + TextArgument(c.modemInitString));
    } else {
        lines.push_back("SM 0");
    }
    lines.push_back("SN 0 " + TextArgument(c.siteName));

    for (int n = 1; n <= 3; ++n) {
        const std::uint8_t type = c.instrumentType[n - 1];
        lines.push_back(Format("SI %d %s", n, ModelWord(type)));
        if (type == InstrumentInactive)
            lines.push_back(Format("SN %d INACTIVE", n));
        else
            lines.push_back(Format("SN %d ", n) + TextArgument(c.instrumentName[n - 1]));
    }
    lines.push_back(Format("SO %d %d %d", c.instrumentTimeout[0], c.instrumentTimeout[1],
                           c.instrumentTimeout[2]));

    for (int p = 0; p < 5; ++p) {
        const SerialPortSetting& port = c.serialPort[p];
        // The unit's third argument says "eight data bits", the inverse of the stored flag.
        lines.push_back(Format("SP %d %d %d %d", p, static_cast<std::int32_t>(port.baudRate),
                               port.sevenDataBits == 1 ? 0 : 1, port.parity));
    }
    lines.push_back(c.configPortFlowControl != 0 ? "SF 1" : "SF 0");

    if (c.outputType == OutputModbus || c.modbusAltPort != 0) {
        lines.push_back(Format("MA %d", c.modbusAddress));
        lines.push_back(c.modbusAscii != 0 ? "MR 0" : "MR 1");
    }
    lines.push_back(Format("MF %d", c.modbusAltPort));

    if (c.outputType == OutputModbus) {
        lines.push_back("SA 0");
    } else if (c.outputType == OutputAnalog) {
        lines.push_back("SA 1");
        const AnalogChannel* ch = c.analogChannel;
        lines.push_back(Format("AE %d %d %d %d", Flag(ch[0].enabled), Flag(ch[1].enabled),
                               Flag(ch[2].enabled), Flag(ch[3].enabled)));
        for (int k = 1; k <= 4; ++k) {
            const AnalogChannel& channel = ch[k - 1];
            if (channel.enabled == 0) continue;
            lines.push_back(Format("AR %d %d %d %d %d", k, channel.instrument + 1,
                                   channel.dataType, int(channel.at4mA), int(channel.at20mA)));
        }
    }

    lines.push_back(Format("AB %d %d", c.badReadingClearCount, c.timeoutClearCount));
    const SmoothingSetting* s = c.smoothing;
    lines.push_back(Format("AS %d %d %d", int(s[0].band), int(s[1].band), int(s[2].band)));
    lines.push_back(Format("AT %d %d %d", TcfThousandths(s[0].tcf), TcfThousandths(s[1].tcf),
                           TcfThousandths(s[2].tcf)));
    lines.push_back(
        Format("AZ %d %d %d", int(s[0].zeroBelow), int(s[1].zeroBelow), int(s[2].zeroBelow)));
    lines.push_back(c.lcdShowSmoothed != 0 ? "LS 1" : "LS 0");

    for (int n = 1; n <= 8; ++n) AppendRule(c.alarmRule[n - 1], n, lines);

    lines.push_back(Format("LB %d", Flag(c.lcdBacklight)));
    lines.push_back(Format("LC %d", c.lcdCycleTime));
    std::string show = "LD";
    for (std::uint8_t entry : c.lcdShow) show += entry != 0 ? " 1" : " 0";
    lines.push_back(show);
    lines.push_back(Format("TM %d", c.totalizerMode));
    // The unit tells the six kinds apart by their order alone.
    for (int kind = 0; kind < 6; ++kind) lines.push_back(Format("SU %d", c.unitCode[kind]));
    lines.push_back("SS");
}
