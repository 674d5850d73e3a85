// "COM n": the numbers the technicians know their ports by. On Windows these are the
// system's own COM numbers. On a machine whose serial devices have names instead, port n is
// the n-th detected port: first the simulated units that someone started on purpose, then
// the real serial devices in a stable order (USB adapters, USB modems, on-board UARTs,
// Bluetooth). A device path is always accepted as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
// Where the scan finds the ports: the registry key that the serial drivers fill in (the
// value names are the drivers' devices, the data their COM names). Tests point it at a key
// of their own under HKEY_CURRENT_USER.
struct PortScanRoots {
    bool currentUser = false;  // HKEY_CURRENT_USER instead of HKEY_LOCAL_MACHINE
    std::string key = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
};
#else
// Where a simulated unit announces itself: a symbolic link to its terminal, named after the
// simulator's process id. $XDG_RUNTIME_DIR/weirlink-sim, or /tmp/weirlink-sim-<uid>.
std::string SimAnnounceDir();

// Removes the links of simulators that ended without cleaning up (killed, or their terminal
// gone); a simulator calls it before it announces itself.
void RemoveStaleAnnouncements(const std::string& folder);

// The program that has the device open, as "name, process N", when this process may see it
// (its own user's programs, or all for root); empty when none is found.
std::string FindPortHolder(const std::string& device);

// The folders the scan looks at; tests point them at a fake tree.
struct PortScanRoots {
    std::string devDir = "/dev";
    std::string sysTtyDir = "/sys/class/tty";
    std::string simDir = SimAnnounceDir();
};
#endif

struct SerialPortEntry {
    int number = 0;      // COM number, from 1
    std::string device;  // the path to open; empty when no device has this number
    bool simulated = false;
    std::string label;  // "COM 1 (/dev/ttyUSB0)", "COM 1 (simulated unit)", "COM 5"
};

// The detected ports in the order of their numbers.
std::vector<SerialPortEntry> ScanSerialPorts(const PortScanRoots& roots = {});

// The detected ports and, in their places, the numbers from 1 to `minimum` that have no
// device, so that a list always offers the usual COM 1 to COM 8.
std::vector<SerialPortEntry> ListSerialPorts(int minimum = 8, const PortScanRoots& roots = {});

// "COM3", "COM 3", "com3" -> 3. Anything else, and 0, gives nothing.
std::optional<int> ParseComNumber(std::string_view text);

// The label of port `number` in a list.
std::string PortLabel(int number, const std::string& device, bool simulated);

// "COM n" -> the device of that number ("\\.\COMn" on Windows), empty when there is none;
// anything else is taken as a device path and returned as it is.
std::string ResolvePortName(std::string_view text, const PortScanRoots& roots = {});
