// What "COM n" means on every platform; the detection of the ports is the platform's own.
#include <algorithm>
#include <cctype>
#include <charconv>

#include "comm/PortNames.h"

std::string PortLabel(int number, const std::string& device, bool simulated,
                      const std::string& adapter)
{
    std::string label = "COM " + std::to_string(number);
    if (simulated) return label + " (simulated unit)";
    if (device.empty()) return label;
    return label + " (" + (adapter.empty() ? "" : adapter + ", ") + device + ")";
}

std::vector<SerialPortEntry> ListSerialPorts(int minimum, const PortScanRoots& roots)
{
    std::vector<SerialPortEntry> ports = ScanSerialPorts(roots);
    for (int number = 1; number <= minimum; ++number) {
        const bool detected = std::any_of(ports.begin(), ports.end(), [number](const auto& port) {
            return port.number == number;
        });
        if (!detected) ports.push_back({number, "", false, PortLabel(number, "", false), "", ""});
    }
    std::stable_sort(ports.begin(), ports.end(),
                     [](const auto& a, const auto& b) { return a.number < b.number; });
    return ports;
}

std::optional<int> ParseComNumber(std::string_view text)
{
    if (text.size() < 4) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return std::nullopt;
    text.remove_prefix(3);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < 1) return std::nullopt;
    return number;
}
