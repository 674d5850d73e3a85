// Windows names its serial ports itself: "COM n" is the system's COM n, opened through the
// device namespace (\\.\COMn), which also reaches the ports above COM9.
#include "comm/PortNames.h"

#include <windows.h>

#include <algorithm>

std::vector<SerialPortEntry> ScanSerialPorts(const PortScanRoots& roots)
{
    std::vector<SerialPortEntry> ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(roots.currentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE,
                        roots.key.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return ports;  // no serial driver has started: no ports
    for (DWORD index = 0;; ++index) {
        char driverDevice[256];
        DWORD nameSize = sizeof driverDevice;
        BYTE data[256];
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LSTATUS status =
            ::RegEnumValueA(key, index, driverDevice, &nameSize, nullptr, &type, data, &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_SZ) continue;  // too long, or not a name
        data[dataSize] = 0;
        // Ports that a driver names otherwise ("CNCA0") have no number to be chosen by.
        const std::optional<int> number = ParseComNumber(reinterpret_cast<const char*>(data));
        if (!number) continue;
        const bool known = std::any_of(ports.begin(), ports.end(),
                                       [&](const auto& port) { return port.number == *number; });
        if (known) continue;
        ports.push_back({*number, ResolvePortName("COM" + std::to_string(*number), roots), false,
                         PortLabel(*number, driverDevice, false), "", ""});
    }
    ::RegCloseKey(key);
    std::sort(ports.begin(), ports.end(),
              [](const auto& a, const auto& b) { return a.number < b.number; });
    return ports;
}

std::string ResolvePortName(std::string_view text, const PortScanRoots&)
{
    if (const std::optional<int> number = ParseComNumber(text))
        return "\\\\.\\COM" + std::to_string(*number);
    return std::string(text);
}
