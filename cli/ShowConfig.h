// Every setting of a record for a person to read, grouped as the desktop program's pages.
#pragma once

#include <string>

#include "config/UnitConfig.h"

// UTF-8 text, one section per page: Site, Communication, Alarms, Output, Smoothing.
std::string ShowConfig(const UnitConfig& config);
