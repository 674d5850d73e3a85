// How close a flash download comes to what the line can carry, and what it costs the tool.
//
// A 256 KiB file goes through the simulated unit, which paces both directions of the line
// at the baud rate (ten bits a byte), so the download can go no faster than a real line.
// The protocol itself waits for each block's acknowledgement before the next block: 1024
// data bytes ride in a 1035-byte frame and an 11-byte acknowledgement comes back, so even a
// tool that costs nothing reaches 1024 / 1046 = 0.979 of the line's bytes per second. What
// is missing beyond that is the tool's own turnaround (reading the acknowledgement, building
// and writing the next frame, reporting progress) plus the pseudo-terminal's wake-ups.
//
// The rate is measured on the tool's side between its first and its last progress report:
// both come right after an acknowledgement has been read, so the span holds whole block
// cycles (frame out, acknowledgement back, turnaround), none of the connect, ping or reboot.
//
// The tool's own turnaround is timed apart, from the serial port's trace: from the last byte
// of an acknowledgement read to the next frame written whole. On a busy machine the
// pseudo-terminal's wake-ups can cost more than the tool does; this figure tells them apart.
//
// The CPU figure comes from an unpaced run: the download's thread CPU time
// (CLOCK_THREAD_CPUTIME_ID of the thread that runs it; the unit answers on its own thread)
// over the same span, per MiB of file.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "device/FlashRun.h"
#include "sim/SimUnit.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kFileSize = 256 * 1024;
constexpr double kProtocolCeiling = 1024.0 / (1024 + 11 + 11);

double ThreadCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Time and CPU at the first and the last progress report: one comes after each
// acknowledged block, whatever whole percent it shows.
struct ProgressClock final : COperationObserver {
    void ShowStatus(const std::string& text) override
    {
        const std::string_view format = kStatusFlashProgressFormat;
        if (!text.starts_with(format.substr(0, format.find('%')))) return;
        last = Clock::now();
        lastCpu = ThreadCpuSeconds();
        if (reports++ == 0) {
            first = last;
            firstCpu = lastCpu;
        }
    }
    int reports = 0;
    Clock::time_point first{}, last{};
    double firstCpu = 0, lastCpu = 0;
};

// From the last byte received to the end of the next write, per block.
struct Turnaround {
    void Seen(TraceDirection direction)
    {
        const Clock::time_point now = Clock::now();
        if (direction == TraceDirection::Received) {
            lastReceived = now;
            return;
        }
        if (lastReceived == Clock::time_point{}) return;
        const double seconds = std::chrono::duration<double>(now - lastReceived).count();
        total += seconds;
        longest = std::max(longest, seconds);
        ++count;
        gaps.push_back(seconds);
        lastReceived = {};
    }
    // The typical block: a few late wake-ups on a busy machine move the mean, not this.
    double Median()
    {
        if (gaps.empty()) return 0;
        std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
        return gaps[gaps.size() / 2];
    }
    Clock::time_point lastReceived{};
    double total = 0, longest = 0;
    int count = 0;
    std::vector<double> gaps;
};

struct Measurement {
    bool ok = false;
    Turnaround turnaround;
    double seconds = 0;
    double cpuSeconds = 0;
    double bytes = 0;  // file bytes acknowledged between the first and the last report
};

Measurement Flash(const std::string& path, int baudRate, bool pace)
{
    SimOptions options;
    options.pace = pace;
    UnitConfig config;
    SetDefaults(config);
    CSimUnit unit(config, options);
    if (!unit.Start()) return {};

    // The pauses for a real unit's restarts mean nothing here; the waits stay real.
    CommTimings timings;
    timings.flashStartPauseMs = 0;
    timings.flashRebootPauseMs = 0;
    ProgressClock clock;
    Measurement m;
    const SerialTrace trace = [&m](TraceDirection direction, const std::uint8_t*, std::size_t) {
        m.turnaround.Seen(direction);
    };
    const UnitConnection connection{unit.DevicePath(), 57600, timings, trace};
    std::string errorText;
    m.ok = FlashSoftware(connection, {baudRate, path}, clock, errorText) && clock.reports > 1;
    if (!m.ok) {
        std::fprintf(stderr, "flash failed: %s\n", errorText.c_str());
        return m;
    }
    // Progress is reported per block; the first report follows the first block.
    const double firstBlock = double(std::min<std::size_t>(kMaxBlockSize, kFileSize));
    m.bytes = double(kFileSize) - firstBlock;
    m.seconds = std::chrono::duration<double>(clock.last - clock.first).count();
    m.cpuSeconds = clock.lastCpu - clock.firstCpu;
    return m;
}

}  // namespace

int main()
{
    const std::string path = "/tmp/weirlink-bench-flash.bin";
    {
        std::vector<char> bytes(kFileSize);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13 + 5);
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }

    std::printf("flash download of %zu KiB through the simulated unit\n", kFileSize / 1024);
    std::printf("protocol ceiling: %.3f of the line limit (baud / 10 bytes per second)\n",
                kProtocolCeiling);
    int status = 0;
    for (const int baudRate : {57600, 115200}) {
        const Measurement m = Flash(path, baudRate, true);
        if (!m.ok) {
            status = 1;
            continue;
        }
        const double rate = m.bytes / m.seconds;
        const double limit = baudRate / 10.0;
        std::printf(
            "%6d baud: %7.0f payload bytes/s = %.3f of the line limit (%.1f%% of the "
            "protocol's ceiling)\n",
            baudRate, rate, rate / limit, 100.0 * rate / limit / kProtocolCeiling);
        const double blockSeconds = (1024 + 11 + 11) / limit;
        Turnaround turnaround = m.turnaround;
        const double mean = turnaround.total / std::max(turnaround.count, 1);
        std::printf(
            "              tool turnaround %.0f us per block, median %.0f us (longest %.0f us) "
            "= %.2f%% of a block's time on the line\n",
            mean * 1e6, turnaround.Median() * 1e6, turnaround.longest * 1e6,
            100.0 * mean / blockSeconds);
    }

    const Measurement unpaced = Flash(path, 115200, false);
    if (unpaced.ok) {
        const double mib = unpaced.bytes / (1024.0 * 1024.0);
        std::printf("unpaced: %.1f MiB/s through the pseudo-terminal; tool CPU %.1f ms per MiB\n",
                    mib / unpaced.seconds, unpaced.cpuSeconds * 1000.0 / mib);
    } else {
        status = 1;
    }
    std::remove(path.c_str());
    return status;
}
