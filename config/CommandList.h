// The unit is programmed with text lines, one setting per line, not with the image.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "config/UnitConfig.h"

// Appends the unit's configuration lines for the record, from "IP ..." to "SS", after
// whatever the list already holds. Lines carry no line feed.
void BuildCommandList(const UnitConfig& config, std::vector<std::string>& lines);

// How single settings are written on the lines, for whoever compares what two records send.
// A text argument ends at the field's NUL or its last byte.
std::string CommandTextArgument(const char* field, std::size_t size);
// "INACTIVE", "KESTREL", "MARTEN", and "CULVERT" for every other code.
const char* ModelWord(std::uint8_t type);
// The unit takes the smoothing factor as thousandths.
int TcfThousandths(float tcf);
