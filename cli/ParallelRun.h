// Several units at once: `send`, `flash` and `test-output` with --port given more than once.
// Every port gets a thread of its own, so a unit that fails or keeps silent holds up none of
// the others. Each status line names its port as the user wrote it ("COM3: Sending SN"); a
// flash's progress is one bar for all units on a terminal, and each port's percentages once
// each elsewhere. At the end comes one line per port, "ok" or what failed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "comm/OperationObserver.h"
#include "device/DeviceOperation.h"

// One unit's share of a command. output: text for stdout (the differences a verify found),
// printed once every unit is done.
using UnitOperation =
    std::function<bool(const UnitConnection& connection, COperationObserver& observer,
                       std::string& errorText, std::string& output)>;

// Why the ports cannot be served together (the same port given twice, under any of its
// names: COM3, its device, a link to it), or empty.
std::string PortsInConflict(const std::vector<std::string>& ports);

// Runs the operation on every port at once; `connection` gives all but the port. Ctrl+C and
// the other stop signals stop every unit (a flash still reboots a unit in its bootloader).
// Returns ExitSuccess when every unit succeeded; otherwise ExitFailure, with the last line on
// stderr "Error: <k> of <n> units failed".
int RunOnEveryPort(const std::vector<std::string>& ports, const UnitConnection& connection,
                   const UnitOperation& operation);
