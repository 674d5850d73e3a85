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
#include <fstream>
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

std::vector<SerialPortEntry> ScanSerialPorts(const PortScanRoots& roots)
{
    std::vector<SerialPortEntry> ports;
    auto add = [&ports](const std::string& device, bool simulated) {
        const int number = static_cast<int>(ports.size()) + 1;
        ports.push_back({number, device, simulated, PortLabel(number, device, simulated)});
    };
    for (const std::string& device : SimulatedDevices(roots.simDir)) add(device, true);
    for (const std::string& device : RealDevices(roots)) add(device, false);
    return ports;
}

std::string FindPortHolder(const std::string& device)
{
    struct stat wanted {};
    if (::stat(device.c_str(), &wanted) != 0 || !S_ISCHR(wanted.st_mode)) return "";
    for (const std::string& pid : ListNames("/proc")) {
        if (!NumberAfter(pid, "")) continue;
        const std::string fds = "/proc/" + pid + "/fd";
        for (const std::string& fd : ListNames(fds)) {
            struct stat open {};
            if (::stat((fds + "/" + fd).c_str(), &open) != 0 || !S_ISCHR(open.st_mode) ||
                open.st_rdev != wanted.st_rdev)
                continue;
            std::string name;
            std::getline(std::ifstream("/proc/" + pid + "/comm"), name);
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
