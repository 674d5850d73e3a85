// "COM n" on a machine whose serial devices have names instead of numbers. Port n is the
// n-th detected port: first the simulated units that someone started on purpose, then the
// real serial devices in a stable order (USB adapters, USB modems, on-board UARTs,
// Bluetooth). A device path is always accepted as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where a simulated unit announces itself: a symbolic link to its terminal, named after the
// simulator's process id. $XDG_RUNTIME_DIR/weirlink-sim, or /tmp/weirlink-sim-<uid>.
std::string SimAnnounceDir();

// Removes the links of simulators that ended without cleaning up (killed, or their terminal
// gone); a simulator calls it before it announces itself.
void RemoveStaleAnnouncements(const std::string& folder);

// The folders the scan looks at; tests point them at a fake tree.
struct PortScanRoots {
    std::string devDir = "/dev";
    std::string sysTtyDir = "/sys/class/tty";
    std::string simDir = SimAnnounceDir();
};

struct SerialPortEntry {
    int number = 0;      // COM number, from 1
    std::string device;  // the path to open; empty when no device has this number
    bool simulated = false;
    std::string label;  // "COM 1 (/dev/ttyUSB0)", "COM 1 (simulated unit)", "COM 5"
};

// The detected ports, numbered from 1.
std::vector<SerialPortEntry> ScanSerialPorts(const PortScanRoots& roots = {});

// The detected ports padded with numbers that have no device, up to at least `minimum`
// entries, so that a list always offers the usual COM 1 to COM 8.
std::vector<SerialPortEntry> ListSerialPorts(int minimum = 8, const PortScanRoots& roots = {});

// "COM3", "COM 3", "com3" -> 3. Anything else, and 0, gives nothing.
std::optional<int> ParseComNumber(std::string_view text);

// The label of port `number` in a list.
std::string PortLabel(int number, const std::string& device, bool simulated);

// The program that has the device open, as "name, process N", when this process may see it
// (its own user's programs, or all for root); empty when none is found.
std::string FindPortHolder(const std::string& device);

// "COM n" -> the device of that number, empty when there is none; anything else is taken
// as a device path and returned as it is.
std::string ResolvePortName(std::string_view text, const PortScanRoots& roots = {});
