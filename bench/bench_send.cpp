// How close a send of the factory configuration comes to what the line can carry at 57600.
//
// The simulated unit paces both directions at the baud rate (ten bits a byte), as a real
// line does. A send is a conversation: a line goes out, the unit's reply comes back up to its
// prompt, then the next line goes out. The line is busy in one direction at a time, so the
// figure is all bytes of both directions over the time they took, against baud / 10. What
// is missing to 1.000 is the time nobody sends: the tool's turnaround from a reply's prompt
// to the next line, the unit's own, and the pseudo-terminal's wake-ups.
//
// The span runs from the first configuration line ("IP ...") to the prompt that answers the
// last ("SS"): no connect, no "SH". The status lines go where the command-line program puts
// them, through its printer, to /dev/null here.
//
// The tool's idle time per line is timed apart, from the serial port's trace: from the last
// byte of a reply read to the next line written whole. Neither figure can hold still on a
// machine that is busy with other work; the tool's CPU time per line (of the thread that
// runs the send, over the whole send) can, and tells what the tool itself costs.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/StatusPrinter.h"
#include "device/ConfigTransfer.h"
#include "sim/SimUnit.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBaudRate = 57600;
constexpr int kRuns = 9;

double ThreadCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Chunk {
    Clock::time_point at;
    TraceDirection direction;
    std::string bytes;
};

struct Measurement {
    bool ok = false;
    double efficiency = 0;  // of the line limit
    double meanIdle = 0;    // seconds per line
    double medianIdle = 0;
    double longestIdle = 0;
    double cpuPerLine = 0;
    int lines = 0;
};

Measurement Send()
{
    SimOptions options;
    options.pace = true;
    UnitConfig config;
    SetDefaults(config);
    CSimUnit unit(config, options);
    if (!unit.Start()) return {};

    std::vector<Chunk> chunks;
    chunks.reserve(4096);
    UnitConnection connection;
    connection.port = unit.DevicePath();
    connection.baudRate = kBaudRate;
    connection.trace = [&chunks](TraceDirection direction, const std::uint8_t* bytes,
                                 std::size_t count) {
        chunks.push_back(
            {Clock::now(), direction, std::string(reinterpret_cast<const char*>(bytes), count)});
    };
    std::FILE* discard = std::fopen("/dev/null", "w");
    CStatusPrinter printer(discard, false);
    std::string errorText;
    Measurement m;
    const double cpuBefore = ThreadCpuSeconds();
    m.ok = SendConfiguration(connection, config, {}, printer, errorText);
    const double cpu = ThreadCpuSeconds() - cpuBefore;
    std::fclose(discard);
    if (!m.ok) {
        std::fprintf(stderr, "send failed: %s\n", errorText.c_str());
        return m;
    }

    const auto startsWith = [](const Chunk& chunk, const char* text) {
        return chunk.direction == TraceDirection::Sent && chunk.bytes.starts_with(text);
    };
    const auto first = std::find_if(chunks.begin(), chunks.end(),
                                    [&](const Chunk& c) { return startsWith(c, "IP "); });
    const auto applied =
        std::find_if(first, chunks.end(), [&](const Chunk& c) { return startsWith(c, "SH\n"); });
    if (first == chunks.end() || applied == chunks.end()) return {};

    double bytes = 0;
    double idle = 0;
    std::vector<double> gaps;
    Clock::time_point lastReceived{};
    for (auto chunk = first; chunk != applied; ++chunk) {
        bytes += double(chunk->bytes.size());
        if (chunk->direction == TraceDirection::Received) {
            lastReceived = chunk->at;
            continue;
        }
        if (lastReceived == Clock::time_point{}) continue;
        const double gap = std::chrono::duration<double>(chunk->at - lastReceived).count();
        idle += gap;
        gaps.push_back(gap);
        m.longestIdle = std::max(m.longestIdle, gap);
        ++m.lines;
        lastReceived = {};
    }
    // The span ends with the last byte of the reply to "SS", the one before "SH" goes out.
    const auto last = std::prev(applied);
    const double seconds = std::chrono::duration<double>(last->at - first->at).count();
    // The first chunk's bytes were on their way before its time stamp was taken.
    m.efficiency =
        bytes / (seconds + double(first->bytes.size()) * 10 / kBaudRate) / (kBaudRate / 10.0);
    m.meanIdle = m.lines > 0 ? idle / m.lines : 0;
    if (!gaps.empty()) {
        std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
        m.medianIdle = gaps[gaps.size() / 2];
    }
    m.cpuPerLine = cpu / (m.lines + 1);
    return m;
}

}  // namespace

int main()
{
    std::printf("send of the factory configuration through the simulated unit at %d baud\n",
                kBaudRate);
    std::vector<double> efficiencies;
    for (int run = 0; run < kRuns; ++run) {
        const Measurement m = Send();
        if (!m.ok) return 1;
        efficiencies.push_back(m.efficiency);
        std::printf(
            "run %d: %.3f of the line limit; tool idle %.3f ms per line, median %.3f ms "
            "(longest %.3f ms); tool CPU %.0f us per line\n",
            run + 1, m.efficiency, m.meanIdle * 1e3, m.medianIdle * 1e3, m.longestIdle * 1e3,
            m.cpuPerLine * 1e6);
    }
    std::sort(efficiencies.begin(), efficiencies.end());
    std::printf("median %.3f, lowest %.3f of the line limit\n", efficiencies[kRuns / 2],
                efficiencies.front());
    return 0;
}
