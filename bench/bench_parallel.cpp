// How well the command-line program serves several units at once: the wall time of one
// `weirlink flash` with 1, 4 and 16 ports, each a simulated unit that paces its line at
// 115200 baud, as a ratio to the time for one unit; and the program's CPU time per unit.
//
// The units are served by threads of one program, and a paced line mostly waits, so the
// ratio should stay near 1 as long as the machine has time for every unit's turnarounds.
// Every run includes the protocol's fixed pauses (the unit's restart into its bootloader,
// the pause before the reboot), as a technician's flash does.
//
// Usage: bench_parallel [KiB] [runs]; the default file is 64 KiB, which one unit takes in
// about 6 s of download at 115200, and each count is run 3 times (the median is printed).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim/SimUnit.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBaudRate = 115200;

double ChildrenCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Measurement {
    double wallSeconds = 0;
    double cpuSeconds = 0;  // of the program, all its threads
};

// One flash of every unit; nothing when it failed.
bool Flash(int unitCount, const std::string& software, Measurement& measurement)
{
    SimOptions options;
    options.pace = true;
    UnitConfig config;
    SetDefaults(config);
    std::vector<std::unique_ptr<CSimUnit>> units;
    std::string line = WEIRLINK_PROGRAM " flash --download-baud " + std::to_string(kBaudRate);
    for (int i = 0; i < unitCount; ++i) {
        units.push_back(std::make_unique<CSimUnit>(config, options));
        if (!units.back()->Start()) return false;
        line += " --port " + units.back()->DevicePath();
    }
    line += " " + software + " >/dev/null 2>&1";
    const double cpuBefore = ChildrenCpuSeconds();
    const Clock::time_point start = Clock::now();
    const int status = std::system(line.c_str());
    measurement.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    measurement.cpuSeconds = ChildrenCpuSeconds() - cpuBefore;
    for (const auto& unit : units)
        if (unit->Log().reboots != 1) return false;
    return status == 0;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const std::size_t kib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (kib == 0 || runs <= 0) {
        std::fprintf(stderr, "usage: %s [KiB] [runs]\n", argv[0]);
        return 2;
    }
    const std::string software = "/tmp/weirlink-bench-parallel.bin";
    {
        std::vector<char> bytes(kib * 1024);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13 + 5);
        std::ofstream(software, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
    }
    double loads[3] = {};
    std::printf("flash of %zu KiB at %d baud into paced simulated units, %d runs each\n", kib,
                kBaudRate, runs);
    std::printf("%6s %12s %12s %8s %16s\n", "units", "wall (s)", "lowest (s)", "ratio",
                "CPU/unit (ms)");
    double single = 0;
    int status = 0;
    for (const int count : {1, 4, 16}) {
        std::vector<double> walls, cpus;
        for (int run = 0; run < runs; ++run) {
            Measurement m;
            if (!Flash(count, software, m)) {
                std::fprintf(stderr, "the flash of %d units failed\n", count);
                status = 1;
                continue;
            }
            walls.push_back(m.wallSeconds);
            cpus.push_back(m.cpuSeconds / count);
        }
        if (walls.empty()) continue;
        const double wall = Median(walls);
        if (count == 1) single = wall;
        std::printf("%6d %12.2f %12.2f %8.3f %16.1f\n", count, wall,
                    *std::min_element(walls.begin(), walls.end()), single > 0 ? wall / single : 0.0,
                    Median(cpus) * 1000);
    }
    if (::getloadavg(loads, 3) == 3)
        std::printf("load average %.2f %.2f %.2f\n", loads[0], loads[1], loads[2]);
    std::remove(software.c_str());
    return status;
}
