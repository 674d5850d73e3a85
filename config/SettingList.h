// The record as a list of named settings, one per value the command lines carry (and the few
// that the lines leave out, marked so), named and grouped as `weirlink show` names them. Two
// records are compared setting by setting: what the files and the unit hold is judged by what
// a send would tell the unit, and shown in the units the person reading chose.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "config/UnitConfig.h"

// The stored value as the record holds it: a number, a float, or text (record text is
// Latin-1; an address is its dotted form).
using RawValue = std::variant<std::int64_t, double, std::string>;

struct Setting {
    std::string page;   // the desktop program's page: "Site", "Communication", ...
    std::string group;  // "Instrument 1", "Configuration Port", "#3"; empty for a lone setting
    std::string name;   // "Site Name", "Baudrate", ...
    std::string value;  // shown as the pages show it, Latin-1; measured values in display units
    std::string unit;   // the display unit's abbreviation, Latin-1; empty when the value has none
    RawValue raw;
    // The setting as the command lines write it; none when a send leaves it out (a disabled
    // channel's range, the modem string while the modem is off, the unit's channel count).
    std::optional<std::string> sent;

    bool Carried() const { return sent.has_value(); }
    // "Site / Site Name" or "Communication / Configuration Port / Baudrate".
    std::string Path() const;
    // The value with its unit: "100 MGD".
    std::string ValueText() const;
};

// Every setting of `config`, in the order of the command lines. Measured values and their
// units are shown in the display units of `units` (normally the record itself).
std::vector<Setting> ListSettings(const UnitConfig& config, const UnitConfig& units);
inline std::vector<Setting> ListSettings(const UnitConfig& config)
{
    return ListSettings(config, config);
}

struct SettingChange {
    Setting before;  // from the first record
    Setting after;   // from the second, shown in the first record's display units
};

// The settings whose lines differ, in line order. A setting counts when both records send
// it; where one side leaves it out, the setting that decided that (a channel switched off, a
// rule no longer used) is the listed difference. Display units are settings like any other.
std::vector<SettingChange> CompareSettings(const UnitConfig& first, const UnitConfig& second);

// A change as a person reads it, in UTF-8: "Site / Site Name: NewSite → Elsewhere", the first
// record's value before the arrow. `weirlink diff` and the desktop's comparison say the same.
std::string ChangeLine(const SettingChange& change);
// One line per change, each ending in a line feed.
std::string ChangeLines(const std::vector<SettingChange>& changes);
