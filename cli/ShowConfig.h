// Every setting of a record for a person to read, grouped as the desktop program's pages.
#pragma once

#include <string>
#include <vector>

#include "config/SettingList.h"
#include "config/UnitConfig.h"

// UTF-8 text, one section per page: Site, Communication, Alarms, Output, Smoothing.
std::string ShowConfig(const UnitConfig& config);

// UTF-8 text, one line per changed setting, named as above:
// "Site / Site Name: NewSite → Elsewhere".
std::string ChangeLines(const std::vector<SettingChange>& changes);
