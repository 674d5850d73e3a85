// The machine-readable output of show, diff and ports. The schema is in the README; record
// text (Latin-1) goes out as UTF-8, like the rest of the program's output.
#pragma once

#include <string>
#include <vector>

#include "comm/PortNames.h"
#include "config/SettingList.h"

std::string SettingsJson(const std::vector<Setting>& settings);
std::string ChangesJson(const std::vector<SettingChange>& changes);
std::string PortsJson(const std::vector<SerialPortEntry>& ports);
