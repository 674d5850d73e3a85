// How close a flash download by the Windows program, run under Wine, comes to what the line
// can carry; and the Linux program beside it, measured the same way.
//
// Each program flashes a 256 KiB file at 115200 baud into a simulated unit that paces both
// directions of the line (ten bits a byte). The Windows program reaches the unit as a COM
// port of the Wine prefix ($WINEPREFIX; a running `wineserver -p` saves its start-up).
//
// The rate is measured on the unit's side, from the first data frame it receives to the
// last: the file bytes of the frames after the first over that time, so the span holds whole
// block cycles (frame in, acknowledgement out, the tool's turnaround) and none of the
// connect, the pauses for the unit's restarts, the ping or the reboot. The protocol's own
// ceiling is 1024 / (1024 + 11 + 11) = 0.979 of the line limit: the acknowledgement of each
// block comes back before the next block goes out.
//
// Usage: bench_flash_wine <build-windows>/cli/weirlink.exe
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "sim/SimUnit.h"
#include "sim/WinePort.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kFileSize = 256 * 1024;
constexpr int kBaudRate = 115200;
constexpr double kProtocolCeiling = 1024.0 / (1024 + 11 + 11);

struct DataFrames {
    std::mutex mutex;
    std::vector<std::pair<Clock::time_point, std::size_t>> seen;  // when, how many file bytes

    void Monitor(const std::string& text)
    {
        const std::string prefix = "frame: data at ";
        if (!text.starts_with(prefix)) return;
        const std::size_t comma = text.find(", ");
        const std::lock_guard lock(mutex);
        seen.emplace_back(Clock::now(), std::stoul(text.substr(comma + 2)));
    }
};

// The share of the line limit, 0 when the flash failed.
double Flash(const std::string& program, bool underWine, const std::string& software)
{
    DataFrames frames;
    SimOptions options;
    options.pace = true;
    options.monitor = [&frames](const std::string& text) { frames.Monitor(text); };
    UnitConfig config;
    SetDefaults(config);
    CSimUnit unit(config, options);
    if (!unit.Start()) return 0;
    const CWinePort comPort(unit.DevicePath());
    const std::string port = underWine ? comPort.Name() : unit.DevicePath();
    const std::string line = program + " flash --port " + port + " --download-baud " +
                             std::to_string(kBaudRate) + " " + software + " >/dev/null 2>&1";
    const int status = std::system(line.c_str());
    unit.Stop();
    if (status != 0 || frames.seen.size() < 2) {
        std::fprintf(stderr, "the flash failed: %s\n", line.c_str());
        return 0;
    }
    double bytes = 0;
    for (std::size_t i = 1; i < frames.seen.size(); ++i) bytes += double(frames.seen[i].second);
    const double seconds =
        std::chrono::duration<double>(frames.seen.back().first - frames.seen.front().first).count();
    return bytes / seconds / (kBaudRate / 10.0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <build-windows>/cli/weirlink.exe\n", argv[0]);
        return 2;
    }
    const std::string software = "/tmp/weirlink-bench-flash-wine.bin";
    {
        std::vector<char> bytes(kFileSize);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13 + 5);
        std::ofstream(software, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
    }

    std::printf("flash download of %zu KiB at %d baud through the paced simulated unit\n",
                kFileSize / 1024, kBaudRate);
    std::printf("protocol ceiling: %.3f of the line limit (baud / 10 bytes per second)\n",
                kProtocolCeiling);
    int status = 0;
    const std::pair<const char*, std::string> programs[] = {
        {"weirlink.exe under Wine", std::string(WEIRLINK_WINE) + " " + argv[1]},
        {"weirlink on Linux", WEIRLINK_PROGRAM}};
    for (const auto& [name, program] : programs) {
        const double share = Flash(program, program != WEIRLINK_PROGRAM, software);
        if (share == 0) {
            status = 1;
            continue;
        }
        std::printf("%-24s %.3f of the line limit (%.1f%% of the protocol's ceiling)\n", name,
                    share, 100.0 * share / kProtocolCeiling);
    }
    std::remove(software.c_str());
    return status;
}
