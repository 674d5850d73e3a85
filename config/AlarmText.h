// The words an alarm rule is shown in, as the Alarms page lists the eight slots. The text is
// Latin-1, like the unit abbreviations it contains.
#pragma once

#include <string>

#include "config/UnitConfig.h"

// One rule in words, e.g. "Instrument 1 Main Depth > 50.0 In and Instrument 2 Q Main < 3.50
// MGD (Latching)"; thresholds are shown in the record's display units. Comparison codes
// without a meaning show as an empty text.
std::string DescribeRule(const AlarmRule& rule, const UnitConfig& config);

// The line of slot n (1..8): "#n: (not used)" or "#n: " and the rule's words.
std::string DescribeRuleSlot(int n, const AlarmRule& rule, const UnitConfig& config);
