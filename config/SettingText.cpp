#include "config/SettingText.h"

#include <cstdio>

#include "config/Quantities.h"
#include "config/SerialSettings.h"

std::string YesNo(std::uint8_t flag)
{
    return flag != 0 ? "yes" : "no";
}

std::string Dotted(const std::uint8_t (&octets)[4])
{
    char text[20];
    (void)std::snprintf(text, sizeof text, "%d.%d.%d.%d", octets[0], octets[1], octets[2],
                        octets[3]);
    return text;
}

std::string Choice(std::span<const char* const> names, int position, int code)
{
    if (position >= 0 && position < static_cast<int>(names.size())) return names[position];
    return "unknown (" + std::to_string(code) + ")";
}

std::string UnitText(int code)
{
    std::string name = UnitName(code);
    const std::string abbreviation = UnitAbbreviation(code);
    if (name == kUnknownUnitsText) return name + " (code " + std::to_string(code) + ")";
    if (abbreviation.empty() || abbreviation == name) return name;
    return name + " (" + abbreviation + ")";
}

std::string InstrumentTimeoutText(std::int16_t seconds)
{
    return seconds <= kMaxInstrumentTimeout ? std::to_string(seconds) + " seconds" : "off";
}

std::string CountOrOff(std::uint8_t count, const char* words)
{
    return count != 0 ? std::to_string(count) + " " + words : "off";
}

std::string ParityText(int parity)
{
    if (parity < 0 || parity > ParityTwoStopBits) return "unknown (" + std::to_string(parity) + ")";
    return kParityListTexts[ParityToIndex(parity)];
}

std::string DisplayValue(std::int32_t stored, int unitCode)
{
    return FormatValue(ToDisplayUnits(stored, unitCode));
}

std::string Latin1ToUtf8(std::string_view latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
            utf8 += '?';
        } else if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}
