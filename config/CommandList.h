// The unit is programmed with text lines, one setting per line, not with the image.
#pragma once

#include <string>
#include <vector>

#include "config/UnitConfig.h"

// Appends the unit's configuration lines for the record, from "IP ..." to "SS", after
// whatever the list already holds. Lines carry no line feed.
void BuildCommandList(const UnitConfig& config, std::vector<std::string>& lines);
