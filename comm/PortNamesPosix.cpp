#include "comm/PortNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

namespace {

// Real devices by family, in the order they are numbered. The on-board UART names differ
// from board to board.
constexpr std::string_view kDeviceFamilies[] = {
    "ttyUSB", "ttyACM",                                                                     // USB
    "ttyS",   "ttyAMA", "ttyAML", "ttymxc", "ttyO", "ttySAC", "ttyTHS", "ttyMSM", "ttyLP",  // UART
    "rfcomm",  // Bluetooth
};
constexpr std::string_view kBluetoothFamily = "rfcomm";

std::vector<std::string> ListNames(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::optional<int> NumberAfter(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix) || name.size() == prefix.size()) return std::nullopt;
    int number = 0;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || *first == '-' || *first == '+') return std::nullopt;
    return number;
}

// The 8250 driver registers a number of ttyS ports whether or not a UART sits behind them;
// those report the port type 0 (unknown). Virtual terminals have no device at all.
bool IsRealSerialDevice(const std::string& sysEntry, bool bluetooth)
{
    if (!Exists(sysEntry)) return false;
    if (!bluetooth && !Exists(sysEntry + "/device")) return false;
    std::ifstream typeFile(sysEntry + "/type");
    int type = -1;
    if (typeFile >> type && type == 0) return false;
    return true;
}

// A link left behind by a simulator that died, or whose terminal has gone or been handed
// to someone else, must not become a port.
bool IsLiveSimulator(const std::string& link, const std::string& name)
{
    int pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error == std::errc() && end != name.data() && pid > 0 && ::kill(pid, 0) != 0 &&
        errno != EPERM)
        return false;

    struct stat info {};
    if (::stat(link.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EBUSY;  // held exclusively by someone: still a terminal
    const bool terminal = ::isatty(fd) != 0;
    ::close(fd);
    return terminal;
}

std::string LinkTarget(const std::string& link)
{
    char target[4096];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0) return link;
    std::string path(target, static_cast<std::size_t>(length));
    if (path.front() != '/') path = link.substr(0, link.rfind('/') + 1) + path;
    return path;
}

std::vector<std::string> SimulatedDevices(const std::string& simDir)
{
    struct Announced {
        long long seconds, nanoseconds;
        std::string name;
        std::string device;
    };
    std::vector<Announced> found;
    for (const std::string& name : ListNames(simDir)) {
        const std::string link = simDir + "/" + name;
        struct stat info {};
        if (::lstat(link.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) continue;
        if (!IsLiveSimulator(link, name)) continue;
        found.push_back({info.st_mtim.tv_sec, info.st_mtim.tv_nsec, name, LinkTarget(link)});
    }
    // The unit started first is COM 1.
    std::sort(found.begin(), found.end(), [](const Announced& a, const Announced& b) {
        return std::tie(a.seconds, a.nanoseconds, a.name) <
               std::tie(b.seconds, b.nanoseconds, b.name);
    });
    std::vector<std::string> devices;
    for (const Announced& unit : found) devices.push_back(unit.device);
    return devices;
}

std::string BaseName(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

// The path with every link resolved; empty when it leads nowhere.
std::string Resolved(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? std::string() : real.string();
}

// A sysfs attribute's first line, without trailing blanks. Makers write anything into their
// strings: control characters, which could steer a terminal, are dropped.
std::string ReadAttribute(const std::string& path)
{
    std::string line;
    std::getline(std::ifstream(path), line);
    std::erase_if(line, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

UsbAdapter ReadUsbDevice(const std::string& folder)
{
    UsbAdapter device;
    device.manufacturer = ReadAttribute(folder + "/manufacturer");
    device.product = ReadAttribute(folder + "/product");
    device.serial = ReadAttribute(folder + "/serial");
    device.vendorId = ReadAttribute(folder + "/idVendor");
    device.productId = ReadAttribute(folder + "/idProduct");
    return device;
}

// "FT232R USB UART, A50285BI": what the adapter's maker called it (the product, or failing
// that the maker's name) and its serial number.
std::string AdapterName(const UsbAdapter& adapter)
{
    std::string name = adapter.product.empty() ? adapter.manufacturer : adapter.product;
    if (!adapter.serial.empty()) name += (name.empty() ? "" : ", ") + adapter.serial;
    return name;
}

// Each device's link in /dev/serial/by-id, by the device's resolved path.
std::map<std::string, std::string> ByIdLinks(const PortScanRoots& roots)
{
    std::map<std::string, std::string> links;
    const std::string folder = roots.devDir + "/serial/by-id";
    for (const std::string& name : ListNames(folder)) {
        const std::string link = folder + "/" + name;
        const std::string device = Resolved(link);
        // Two links to one device: the first by name, so that the choice does not wander.
        if (!device.empty() && (!links.contains(device) || link < links[device]))
            links[device] = link;
    }
    return links;
}

std::vector<std::string> RealDevices(const PortScanRoots& roots)
{
    struct Candidate {
        std::size_t family;
        int number;
        std::string name;
    };
    std::vector<Candidate> found;
    for (const std::string& name : ListNames(roots.devDir)) {
        for (std::size_t family = 0; family < std::size(kDeviceFamilies); ++family) {
            const std::optional<int> number = NumberAfter(name, kDeviceFamilies[family]);
            if (!number) continue;
            const bool bluetooth = kDeviceFamilies[family] == kBluetoothFamily;
            if (IsRealSerialDevice(roots.sysTtyDir + "/" + name, bluetooth))
                found.push_back({family, *number, name});
            break;
        }
    }
    std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.family, a.number) < std::tie(b.family, b.number);
    });
    std::vector<std::string> devices;
    for (const Candidate& device : found) devices.push_back(roots.devDir + "/" + device.name);
    return devices;
}

}  // namespace

std::string SimAnnounceDir()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') return std::string(runtime) + "/weirlink-sim";
    return "/tmp/weirlink-sim-" + std::to_string(::getuid());
}

void RemoveStaleAnnouncements(const std::string& folder)
{
    for (const std::string& name : ListNames(folder)) {
        const std::string link = folder + "/" + name;
        struct stat info {};
        if (::lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
            !IsLiveSimulator(link, name))
            ::unlink(link.c_str());
    }
}

std::optional<UsbAdapter> FindUsbAdapter(const std::string& device, const PortScanRoots& roots)
{
    std::string name = BaseName(device);
    if (const std::string real = Resolved(device); !real.empty()) name = BaseName(real);
    const std::string port = Resolved(roots.sysTtyDir + "/" + name + "/device");
    if (port.empty()) return std::nullopt;

    // A USB serial converter's port sits on an interface of the USB device; a modem's
    // terminal is the interface itself.
    std::string folder = port;
    for (int level = 0; level < 3 && folder.size() > 1; ++level) {
        if (Exists(folder + "/idVendor")) {
            UsbAdapter adapter = ReadUsbDevice(folder);
            adapter.driver = BaseName(Resolved(port + "/driver"));
            return adapter;
        }
        folder = folder.substr(0, folder.rfind('/'));
    }
    return std::nullopt;
}

std::vector<UsbAdapter> FindUnservedUsbDevices(const PortScanRoots& roots)
{
    std::vector<UsbAdapter> devices;
    for (const std::string& name : ListNames(roots.sysUsbDir)) {
        // Devices are "1-2", their interfaces "1-2:1.0", the root hubs "usb1".
        const std::string folder = roots.sysUsbDir + "/" + name;
        if (name.find(':') != std::string::npos || !Exists(folder + "/idVendor")) continue;
        const std::string driver = BaseName(Resolved(folder + "/" + name + ":1.0/driver"));
        if (!driver.empty() && driver != "usbfs") continue;
        UsbAdapter device = ReadUsbDevice(folder);
        device.driver = driver;
        devices.push_back(device);
    }
    return devices;
}

std::vector<SerialPortEntry> ScanSerialPorts(const PortScanRoots& roots)
{
    std::vector<SerialPortEntry> ports;
    const std::map<std::string, std::string> byId = ByIdLinks(roots);
    auto add = [&](const std::string& device, bool simulated) {
        SerialPortEntry port;
        port.number = static_cast<int>(ports.size()) + 1;
        port.device = device;
        port.simulated = simulated;
        if (!simulated) {
            if (const std::optional<UsbAdapter> adapter = FindUsbAdapter(device, roots))
                port.adapter = AdapterName(*adapter);
            if (const auto link = byId.find(Resolved(device)); link != byId.end())
                port.byId = link->second;
        }
        port.label = PortLabel(port.number, device, simulated, port.adapter);
        ports.push_back(port);
    };
    for (const std::string& device : SimulatedDevices(roots.simDir)) add(device, true);
    for (const std::string& device : RealDevices(roots)) add(device, false);
    return ports;
}

bool IsProgramRunning(const std::string& name, const PortScanRoots& roots)
{
    for (const std::string& pid : ListNames(roots.procDir)) {
        if (!NumberAfter(pid, "")) continue;
        std::string comm;
        std::getline(std::ifstream(roots.procDir + "/" + pid + "/comm"), comm);
        if (comm == name) return true;
    }
    return false;
}

std::string FindPortHolder(const std::string& device, const PortScanRoots& roots)
{
    struct stat wanted {};
    if (::stat(device.c_str(), &wanted) != 0 || !S_ISCHR(wanted.st_mode)) return "";
    for (const std::string& pid : ListNames(roots.procDir)) {
        if (!NumberAfter(pid, "")) continue;
        const std::string fds = roots.procDir + "/" + pid + "/fd";
        for (const std::string& fd : ListNames(fds)) {
            struct stat open {};
            if (::stat((fds + "/" + fd).c_str(), &open) != 0 || !S_ISCHR(open.st_mode) ||
                open.st_rdev != wanted.st_rdev)
                continue;
            std::string name;
            std::getline(std::ifstream(roots.procDir + "/" + pid + "/comm"), name);
            return (name.empty() ? "a program" : name) + ", process " + pid;
        }
    }
    return "";
}

std::string ResolvePortName(std::string_view text, const PortScanRoots& roots)
{
    const std::optional<int> number = ParseComNumber(text);
    if (!number) return std::string(text);
    const std::vector<SerialPortEntry> ports = ScanSerialPorts(roots);
    if (*number > static_cast<int>(ports.size())) return "";
    return ports[static_cast<std::size_t>(*number - 1)].device;
}
