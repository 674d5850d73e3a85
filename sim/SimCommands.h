// How the simulated unit takes its configuration lines: each one the tool can send changes
// the fields it carries and nothing else, so a send followed by a read gives back what was
// sent, and the fields the lines do not carry keep the unit's values.
#pragma once

#include <string_view>

#include "config/UnitConfig.h"
#include "sim/SimUnit.h"

// What the unit remembers between lines of one command-mode session.
struct SimSession {
    int unitCodesSeen = 0;  // "SU" lines in a row: the unit tells the kinds apart by order
};

// Applies one line ("SP 2 57600 1 0") to the record and the log. False when the unit rejects
// it: an unknown command, a missing or extra argument, a value out of range. A rejected line
// changes nothing.
bool ApplyCommandLine(std::string_view line, UnitConfig& config, SimSession& session, SimLog& log);
