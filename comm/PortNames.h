// "COM n": the numbers the technicians know their ports by. On Windows these are the
// system's own COM numbers. On a machine whose serial devices have names instead, port n is
// the n-th detected port: first the simulated units that someone started on purpose, then
// the real serial devices in a stable order (USB adapters, USB modems, on-board UARTs,
// Bluetooth). A USB adapter is shown by the name its maker gave it and its serial number, so
// that the technician knows which of several adapters a number stands for. A device path,
// such as an adapter's /dev/serial/by-id link, is always accepted as it is.
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

// The folders the scan looks at; tests point them at a fake tree.
struct PortScanRoots {
    std::string devDir = "/dev";  // the devices, and the adapters' links in serial/by-id
    std::string sysTtyDir = "/sys/class/tty";
    std::string simDir = SimAnnounceDir();
    std::string sysUsbDir = "/sys/bus/usb/devices";
    std::string procDir = "/proc";
};

// What sysfs tells about the USB device behind a terminal.
struct UsbAdapter {
    std::string manufacturer, product, serial;  // as the maker set them; any may be empty
    std::string vendorId, productId;            // "0403", "6001"
    std::string driver;  // the terminal's driver: "ftdi_sio", "cdc_acm", "ch341-uart", ...
};

// The adapter behind a terminal ("ttyUSB0", or a path to it, links followed); nothing for a
// device that is not on USB.
std::optional<UsbAdapter> FindUsbAdapter(const std::string& device, const PortScanRoots& roots);

// The USB devices whose first interface no kernel driver serves: none has it, or a program
// has claimed it through usbfs (`driver` is then "usbfs"). Such a device has no terminal.
std::vector<UsbAdapter> FindUnservedUsbDevices(const PortScanRoots& roots);

// The program that has the device open, as "name, process N", when this process may see it
// (its own user's programs, or all for root); empty when none is found.
std::string FindPortHolder(const std::string& device, const PortScanRoots& roots = {});

// Whether a program of that name (as /proc/N/comm gives it) runs.
bool IsProgramRunning(const std::string& name, const PortScanRoots& roots = {});
#endif

struct SerialPortEntry {
    int number = 0;      // COM number, from 1
    std::string device;  // the path to open; empty when no device has this number
    bool simulated = false;
    std::string label;    // "COM 1 (/dev/ttyUSB0)", "COM 1 (simulated unit)", "COM 5"
    std::string adapter;  // a USB adapter's product and serial number: "FT232R USB UART, A50285BI"
    // The adapter's link in /dev/serial/by-id, which keeps its name whatever number the
    // adapter gets: how a port is recognised when it is plugged in again. Empty when none.
    std::string byId;
};

// The detected ports in the order of their numbers.
std::vector<SerialPortEntry> ScanSerialPorts(const PortScanRoots& roots = {});

// The detected ports and, in their places, the numbers from 1 to `minimum` that have no
// device, so that a list always offers the usual COM 1 to COM 8.
std::vector<SerialPortEntry> ListSerialPorts(int minimum = 8, const PortScanRoots& roots = {});

// "COM3", "COM 3", "com3" -> 3. Anything else, and 0, gives nothing.
std::optional<int> ParseComNumber(std::string_view text);

// The label of port `number` in a list: "COM 3 (FT232R USB UART, A50285BI, /dev/ttyUSB0)".
std::string PortLabel(int number, const std::string& device, bool simulated,
                      const std::string& adapter = "");

// "COM n" -> the device of that number ("\\.\COMn" on Windows), empty when there is none;
// anything else is taken as a device path and returned as it is.
std::string ResolvePortName(std::string_view text, const PortScanRoots& roots = {});
