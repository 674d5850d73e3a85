// The words a setting is shown in, wherever a record is shown to a person: the same value
// reads the same in `weirlink show`, in a comparison and in JSON. Texts are Latin-1.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "config/UnitConfig.h"

template <std::size_t N>
std::string RecordText(const char (&field)[N])
{
    return std::string(field, std::find(field, field + N, '\0'));
}

std::string YesNo(std::uint8_t flag);
std::string Dotted(const std::uint8_t (&octets)[4]);
// A code outside the list stays visible rather than being shown as some list entry.
std::string Choice(std::span<const char* const> names, int position, int code);
// "Million Gallons (MGal)"; an unknown code says which one it was.
std::string UnitText(int unitCode);
// "90 seconds", or "off" for a time-out the Site page switched off.
std::string InstrumentTimeoutText(std::int16_t seconds);
// "10 bad readings occur", or "off" for 0.
std::string CountOrOff(std::uint8_t count, const char* words);
// The "Parity:" list's word for a record code; an unknown code stays visible.
std::string ParityText(int parity);
// A stored base-unit integer as a display value, without its unit.
std::string DisplayValue(std::int32_t stored, int unitCode);

// Record text is Latin-1; terminals and windows expect UTF-8. Control characters, which a
// damaged or hostile file could use to steer a terminal, show as '?'.
std::string Latin1ToUtf8(std::string_view latin1);
