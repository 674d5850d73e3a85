#include "sim/SimCommands.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using Args = std::vector<long>;

bool InRange(long value, long low, long high)
{
    return value >= low && value <= high;
}
bool IsByte(long value)
{
    return InRange(value, 0, 255);
}
bool IsInt32(long value)
{
    return InRange(value, std::numeric_limits<std::int32_t>::min(),
                   std::numeric_limits<std::int32_t>::max());
}
bool AllBytes(const Args& a)
{
    for (long value : a)
        if (!IsByte(value)) return false;
    return true;
}

// A flag line sets or clears; a set flag keeps whatever nonzero byte the unit already holds
// (its own defaults store 2 for channel 3), so a read after a send shows no change.
bool SetFlag(std::uint8_t& field, long value)
{
    if (!InRange(value, 0, 1)) return false;
    if (value == 0)
        field = 0;
    else if (field == 0)
        field = 1;
    return true;
}

bool SetByte(std::uint8_t& field, long value, long high = 255)
{
    if (!InRange(value, 0, high)) return false;
    field = static_cast<std::uint8_t>(value);
    return true;
}

std::optional<long> ParseNumber(std::string_view token)
{
    long value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size() || token.empty())
        return std::nullopt;
    return value;
}

std::vector<std::string_view> Split(std::string_view text)
{
    std::vector<std::string_view> tokens;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        tokens.push_back(text.substr(0, space));
        if (space == std::string_view::npos) break;
        text.remove_prefix(space + 1);
    }
    return tokens;
}

// Names and strings are stored NUL-terminated and cut to fit, the rest of the field zeroed.
template <std::size_t N>
void StoreText(char (&field)[N], std::string_view text)
{
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

std::optional<std::uint8_t> ModelCode(std::string_view word)
{
    if (word == "INACTIVE") return InstrumentInactive;
    if (word == "KESTREL") return InstrumentKestrel;
    if (word == "CULVERT") return InstrumentCulvert;
    if (word == "MARTEN") return InstrumentMarten;
    return std::nullopt;
}

std::optional<std::uint8_t> CombineCode(std::string_view word)
{
    if (word == "AND") return AlarmCombineAnd;
    if (word == "OR") return AlarmCombineOr;
    if (word == "NONE") return AlarmCombineNone;
    return std::nullopt;
}

bool SetOctets(std::uint8_t (&field)[4], const Args& a)
{
    if (!AllBytes(a)) return false;
    for (int i = 0; i < 4; ++i) field[i] = static_cast<std::uint8_t>(a[i]);
    return true;
}

// Three values for flow, velocity and depth.
template <class Store>
bool SetSmoothing(UnitConfig& c, const Args& a, Store store)
{
    for (long value : a)
        if (!IsInt32(value)) return false;
    for (int q = 0; q < 3; ++q) store(c.smoothing[q], static_cast<std::int32_t>(a[q]));
    return true;
}

bool SetPort(UnitConfig& c, const Args& a)
{
    if (!InRange(a[0], 0, 4) || !InRange(a[1], 1, 0xFFFFFFF) || !InRange(a[2], 0, 1) ||
        !InRange(a[3], 0, 3))
        return false;
    SerialPortSetting& port = c.serialPort[a[0]];
    port.baudRate = static_cast<std::uint32_t>(a[1]);
    port.sevenDataBits = a[2] == 1 ? 0 : 1;  // the line says "eight data bits"
    port.parity = static_cast<std::uint8_t>(a[3]);
    return true;
}

bool SetChannelRange(UnitConfig& c, const Args& a)
{
    if (!InRange(a[0], 1, 4) || !InRange(a[1], 1, 256) || !IsByte(a[2]) || !IsInt32(a[3]) ||
        !IsInt32(a[4]))
        return false;
    AnalogChannel& channel = c.analogChannel[a[0] - 1];
    channel.instrument = static_cast<std::uint8_t>(a[1] - 1);
    channel.dataType = static_cast<std::uint8_t>(a[2]);
    channel.at4mA = static_cast<std::int32_t>(a[3]);
    channel.at20mA = static_cast<std::int32_t>(a[4]);
    return true;
}

bool SetRuleEnabled(UnitConfig& c, const Args& a)
{
    if (!InRange(a[0], 1, 8) || !InRange(a[1], 0, 1)) return false;
    AlarmRule& rule = c.alarmRule[a[0] - 1];
    if (a[1] == 0) std::memset(&rule, 0, sizeof rule);  // a removed rule is all zero
    return SetFlag(rule.enabled, a[1]);
}

bool SetRuleCondition(UnitConfig& c, const Args& a)
{
    if (!InRange(a[0], 1, 8) || !InRange(a[1], 1, 2) || !InRange(a[2], 1, 256) || !IsByte(a[3]) ||
        !IsByte(a[4]) || !IsInt32(a[5]))
        return false;
    AlarmRule& rule = c.alarmRule[a[0] - 1];
    const auto instrument = static_cast<std::uint8_t>(a[2] - 1);
    const auto dataType = static_cast<std::uint8_t>(a[3]);
    const auto compare = static_cast<std::uint8_t>(a[4]);
    const auto threshold = static_cast<std::int32_t>(a[5]);
    if (a[1] == 1) {
        rule.instrument1 = instrument;
        rule.dataType1 = dataType;
        rule.compare1 = compare;
        rule.threshold1 = threshold;
    } else {
        rule.instrument2 = instrument;
        rule.dataType2 = dataType;
        rule.compare2 = compare;
        rule.threshold2 = threshold;
    }
    return true;
}

struct NumericCommand {
    std::string_view code;
    std::size_t count;
    bool (*apply)(UnitConfig& c, const Args& a);
};

// Lines whose arguments are all numbers.
const NumericCommand kNumericCommands[] = {
    {"IP", 4, [](UnitConfig& c, const Args& a) { return SetOctets(c.ipAddress, a); }},
    {"IS", 4, [](UnitConfig& c, const Args& a) { return SetOctets(c.subnetMask, a); }},
    {"SM", 1, [](UnitConfig& c, const Args& a) { return SetFlag(c.modemEnabled, a[0]); }},
    {"SO", 3,
     [](UnitConfig& c, const Args& a) {
         for (long value : a)
             if (!InRange(value, -32768, 32767)) return false;
         for (int i = 0; i < 3; ++i) c.instrumentTimeout[i] = static_cast<std::int16_t>(a[i]);
         return true;
     }},
    {"SP", 4, SetPort},
    {"SF", 1, [](UnitConfig& c, const Args& a) { return SetFlag(c.configPortFlowControl, a[0]); }},
    {"MA", 1, [](UnitConfig& c, const Args& a) { return SetByte(c.modbusAddress, a[0]); }},
    // "MR 0" is ASCII, the stored flag's inverse.
    {"MR", 1,
     [](UnitConfig& c, const Args& a) {
         return InRange(a[0], 0, 1) && SetFlag(c.modbusAscii, a[0] == 0 ? 1 : 0);
     }},
    {"MF", 1, [](UnitConfig& c, const Args& a) { return SetByte(c.modbusAltPort, a[0]); }},
    {"SA", 1,
     [](UnitConfig& c, const Args& a) {
         if (!InRange(a[0], 0, 1)) return false;
         c.outputType = a[0] == 1 ? OutputAnalog : OutputModbus;
         return true;
     }},
    {"AE", 4,
     [](UnitConfig& c, const Args& a) {
         for (long value : a)
             if (!InRange(value, 0, 1)) return false;
         for (int k = 0; k < 4; ++k) SetFlag(c.analogChannel[k].enabled, a[k]);
         return true;
     }},
    {"AR", 5, SetChannelRange},
    {"AB", 2,
     [](UnitConfig& c, const Args& a) {
         if (!AllBytes(a)) return false;
         c.badReadingClearCount = static_cast<std::uint8_t>(a[0]);
         c.timeoutClearCount = static_cast<std::uint8_t>(a[1]);
         return true;
     }},
    {"AS", 3,
     [](UnitConfig& c, const Args& a) {
         return SetSmoothing(c, a, [](SmoothingSetting& s, std::int32_t v) { s.band = v; });
     }},
    // Thousandths of the time-constant factor.
    {"AT", 3,
     [](UnitConfig& c, const Args& a) {
         return SetSmoothing(c, a, [](SmoothingSetting& s, std::int32_t v) {
             s.tcf = static_cast<float>(v) / 1000.0f;
         });
     }},
    {"AZ", 3,
     [](UnitConfig& c, const Args& a) {
         return SetSmoothing(c, a, [](SmoothingSetting& s, std::int32_t v) { s.zeroBelow = v; });
     }},
    {"LS", 1, [](UnitConfig& c, const Args& a) { return SetFlag(c.lcdShowSmoothed, a[0]); }},
    {"RE", 2, SetRuleEnabled},
    {"RL", 2,
     [](UnitConfig& c, const Args& a) {
         return InRange(a[0], 1, 8) && SetFlag(c.alarmRule[a[0] - 1].latching, a[1]);
     }},
    {"RC", 6, SetRuleCondition},
    {"LB", 1, [](UnitConfig& c, const Args& a) { return SetFlag(c.lcdBacklight, a[0]); }},
    {"LC", 1, [](UnitConfig& c, const Args& a) { return SetByte(c.lcdCycleTime, a[0]); }},
    {"LD", 6,
     [](UnitConfig& c, const Args& a) {
         for (long value : a)
             if (!InRange(value, 0, 1)) return false;
         for (int i = 0; i < 6; ++i) SetFlag(c.lcdShow[i], a[i]);
         return true;
     }},
    {"TM", 1, [](UnitConfig& c, const Args& a) { return SetByte(c.totalizerMode, a[0], 2); }},
};

std::optional<Args> Numbers(const std::vector<std::string_view>& tokens, std::size_t count)
{
    if (tokens.size() != count + 1) return std::nullopt;
    Args args;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const std::optional<long> value = ParseNumber(tokens[i]);
        if (!value) return std::nullopt;
        args.push_back(*value);
    }
    return args;
}

bool ApplyNumeric(const NumericCommand& command, const std::vector<std::string_view>& tokens,
                  UnitConfig& config)
{
    const std::optional<Args> args = Numbers(tokens, command.count);
    if (!args) return false;
    UnitConfig changed = config;  // a rejected line changes nothing
    if (!command.apply(changed, *args)) return false;
    config = changed;
    return true;
}

// "SN n name": n 0 is the site, 1 to 3 the instruments. The name is the rest of the line.
bool SetName(std::string_view rest, UnitConfig& config)
{
    const std::size_t space = rest.find(' ');
    const std::optional<long> number = ParseNumber(rest.substr(0, space));
    if (!number || !InRange(*number, 0, 3)) return false;
    const std::string_view name = space == std::string_view::npos ? "" : rest.substr(space + 1);
    if (*number == 0)
        StoreText(config.siteName, name);
    else
        StoreText(config.instrumentName[*number - 1], name);
    return true;
}

// "SI n WORD", "RO n WORD": item n of count takes the code the word stands for.
template <class Lookup, class Store>
bool SetFromWord(const std::vector<std::string_view>& tokens, long count, Lookup lookup,
                 Store store)
{
    if (tokens.size() != 3) return false;
    const std::optional<long> number = ParseNumber(tokens[1]);
    const std::optional<std::uint8_t> code = lookup(tokens[2]);
    if (!number || !InRange(*number, 1, count) || !code) return false;
    store(*number - 1, *code);
    return true;
}

// The n-th "SU" line in a row sets the unit of kind n: depth, velocity, flow, area, volume,
// temperature.
bool SetUnitCode(const std::vector<std::string_view>& tokens, UnitConfig& config,
                 SimSession& session)
{
    if (tokens.size() != 2 || session.unitCodesSeen >= 6) return false;
    const std::optional<long> code = ParseNumber(tokens[1]);
    if (!code || !IsByte(*code)) return false;
    config.unitCode[session.unitCodesSeen++] = static_cast<std::uint8_t>(*code);
    return true;
}

bool SetClock(const std::vector<std::string_view>& tokens, SimLog& log)
{
    const std::optional<Args> t = Numbers(tokens, 6);
    if (!t) return false;
    const Args& a = *t;
    if (!InRange(a[0], 2000, 2099) || !InRange(a[1], 1, 12) || !InRange(a[2], 1, 31) ||
        !InRange(a[3], 0, 23) || !InRange(a[4], 0, 59) || !InRange(a[5], 0, 59))
        return false;
    char text[32];
    std::snprintf(text, sizeof text, "%04ld-%02ld-%02ld %02ld:%02ld:%02ld", a[0], a[1], a[2], a[3],
                  a[4], a[5]);
    log.clock = text;
    return true;
}

}  // namespace

bool ApplyCommandLine(std::string_view line, UnitConfig& config, SimSession& session, SimLog& log)
{
    const std::vector<std::string_view> tokens = Split(line);
    if (tokens.empty()) return false;
    const std::string_view code = tokens[0];
    if (code != "SU") session.unitCodesSeen = 0;

    if (code == "OK") return tokens.size() == 1;
    if (code == "SB") {
        // The modem string is the rest of the line, blanks and all; "SB " clears it.
        StoreText(config.modemInitString, line.size() > 3 ? line.substr(3) : "");
        return true;
    }
    if (code == "SN") return line.size() > 3 && SetName(line.substr(3), config);
    if (code == "SI")
        return SetFromWord(tokens, 3, ModelCode,
                           [&](long i, std::uint8_t model) { config.instrumentType[i] = model; });
    if (code == "RO")
        return SetFromWord(tokens, 8, CombineCode, [&](long i, std::uint8_t combine) {
            config.alarmRule[i].combine = combine;
        });
    if (code == "SU") return SetUnitCode(tokens, config, session);
    if (code == "SS") {
        if (tokens.size() != 1) return false;
        ++log.saves;
        return true;
    }
    if (code == "ST") return SetClock(tokens, log);
    if (code == "SZ") {
        const std::optional<Args> n = Numbers(tokens, 1);
        if (!n || !InRange((*n)[0], 1, 3)) return false;
        log.zeroedTotalizers.push_back(static_cast<int>((*n)[0]));
        return true;
    }
    if (code == "XO") {
        const std::optional<Args> a = Numbers(tokens, 2);
        if (!a || !InRange((*a)[0], 1, config.analogChannelCount) || !InRange((*a)[1], 0, 100000))
            return false;
        log.outputTests.emplace_back(static_cast<int>((*a)[0]), static_cast<int>((*a)[1]));
        return true;
    }
    for (const NumericCommand& command : kNumericCommands)
        if (code == command.code) return ApplyNumeric(command, tokens, config);
    return false;
}
