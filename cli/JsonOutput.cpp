#include "cli/JsonOutput.h"

#include <nlohmann/json.hpp>

#include "cli/CliOutput.h"

namespace {

using nlohmann::ordered_json;

ordered_json Raw(const RawValue& raw)
{
    return std::visit(
        [](const auto& value) -> ordered_json {
            if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>)
                return Latin1ToUtf8(value);
            else
                return value;
        },
        raw);
}

// Where the setting sits and what it is called, as `show` and the pages name it.
ordered_json Place(const Setting& setting)
{
    return {{"page", setting.page}, {"group", setting.group}, {"name", setting.name}};
}

std::string Text(const ordered_json& json)
{
    // A device path is whatever the system named it; bytes that are no UTF-8 are replaced
    // rather than failing the whole output.
    return json.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string SettingsJson(const std::vector<Setting>& settings)
{
    ordered_json list = ordered_json::array();
    for (const Setting& setting : settings) {
        ordered_json entry = Place(setting);
        entry["value"] = Latin1ToUtf8(setting.value);
        entry["unit"] = Latin1ToUtf8(setting.unit);
        entry["raw"] = Raw(setting.raw);
        entry["sent"] = setting.Carried();
        list.push_back(std::move(entry));
    }
    return Text({{"settings", std::move(list)}});
}

std::string ChangesJson(const std::vector<SettingChange>& changes)
{
    ordered_json list = ordered_json::array();
    for (const SettingChange& change : changes) {
        ordered_json entry = Place(change.before);
        // Both sides are shown in the first file's display units.
        entry["unit"] = Latin1ToUtf8(change.before.unit);
        entry["first"] = {{"value", Latin1ToUtf8(change.before.value)},
                          {"raw", Raw(change.before.raw)}};
        entry["second"] = {{"value", Latin1ToUtf8(change.after.value)},
                           {"raw", Raw(change.after.raw)}};
        list.push_back(std::move(entry));
    }
    return Text({{"equal", changes.empty()}, {"differences", std::move(list)}});
}

std::string PortsJson(const std::vector<SerialPortEntry>& ports)
{
    ordered_json list = ordered_json::array();
    for (const SerialPortEntry& port : ports)
        list.push_back({{"com", port.number},
                        {"device", port.device},
                        {"description", port.label},
                        {"byId", port.byId},
                        {"simulated", port.simulated}});
    return Text({{"ports", std::move(list)}});
}
