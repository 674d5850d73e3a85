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
// them for one unit, through its printer, at once, to a pseudo-terminal that a thread of the
// bench reads as a terminal program would.
//
// Runs alternate between the simulated unit's thread at the usual priority and at real-time
// priority (where the system allows it). A real unit has a processor of its own; on a busy
// machine the simulated one waits for a processor like the tool does, and the first figure
// then says as much about the machine as about the tool.
//
// The tool's idle time per line is timed apart, from the serial port's trace: from the last
// byte of a reply read to the next line written whole. Neither figure can hold still on a
// machine that is busy with other work; the tool's CPU time per line (of the thread that
// runs the send, over the whole send) can, and tells what the tool itself costs.
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cli/StatusPrinter.h"
#include "device/ConfigTransfer.h"
#include "sim/Pty.h"
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

// A terminal for the status lines, and a thread that reads what arrives on it.
class CStatusTerminal {
public:
    CStatusTerminal()
    {
        if (!pty.Open(kBaudRate)) return;
        out = ::fdopen(::dup(pty.SlaveFd()), "w");
        // Unbuffered, as stderr is.
        if (out != nullptr) std::setvbuf(out, nullptr, _IONBF, 0);
        reader = std::thread([this] {
            char bytes[4096];
            while (!done) {
                pollfd wait{pty.MasterFd(), POLLIN, 0};
                if (::poll(&wait, 1, 20) > 0) (void)!::read(pty.MasterFd(), bytes, sizeof bytes);
            }
        });
    }
    ~CStatusTerminal()
    {
        if (out != nullptr) std::fclose(out);
        done = true;
        if (reader.joinable()) reader.join();
    }
    std::FILE* File() const { return out; }

private:
    CPty pty;
    std::FILE* out = nullptr;
    std::atomic<bool> done{false};
    std::thread reader;
};

Measurement Send(bool realTimeUnit)
{
    SimOptions options;
    options.pace = true;
    options.realTime = realTimeUnit;
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
    CStatusTerminal terminal;
    if (terminal.File() == nullptr) return {};
    std::string errorText;
    Measurement m;
    double cpu = 0;
    {
        CStatusPrinter printer(terminal.File(), true);
        const double cpuBefore = ThreadCpuSeconds();
        m.ok = SendConfiguration(connection, config, {}, printer, errorText);
        cpu = ThreadCpuSeconds() - cpuBefore;
    }
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

// Whether a thread of this program may take real-time priority (the simulated unit's tries).
bool RealTimeAllowed()
{
    bool allowed = false;
    std::thread probe([&allowed] {
        const sched_param priority{::sched_get_priority_min(SCHED_FIFO)};
        allowed = ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority) == 0;
    });
    probe.join();
    return allowed;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main()
{
    std::printf(
        "send of the factory configuration through the simulated unit at %d baud, "
        "statuses to a terminal\n",
        kBaudRate);
    const char* modes[] = {"unit at the usual priority", "unit at real-time priority"};
    const int modeCount = RealTimeAllowed() ? 2 : 1;
    if (modeCount == 1)
        std::printf("(real-time priority is not allowed here: the unit runs as usual only)\n");
    std::vector<double> efficiencies[2], cpus[2], idles[2];
    for (int run = 0; run < kRuns; ++run) {
        for (int mode = 0; mode < modeCount; ++mode) {
            const Measurement m = Send(mode == 1);
            if (!m.ok) return 1;
            efficiencies[mode].push_back(m.efficiency);
            cpus[mode].push_back(m.cpuPerLine);
            idles[mode].push_back(m.medianIdle);
            std::printf(
                "run %d, %s: %.3f of the line limit; tool idle %.3f ms per line, median "
                "%.3f ms (longest %.3f ms); tool CPU %.0f us per line\n",
                run + 1, modes[mode], m.efficiency, m.meanIdle * 1e3, m.medianIdle * 1e3,
                m.longestIdle * 1e3, m.cpuPerLine * 1e6);
        }
    }
    for (int mode = 0; mode < modeCount; ++mode)
        std::printf(
            "%s: median %.3f, lowest %.3f of the line limit; median CPU %.0f us per "
            "line, median idle %.3f ms per line\n",
            modes[mode], Median(efficiencies[mode]),
            *std::min_element(efficiencies[mode].begin(), efficiencies[mode].end()),
            Median(cpus[mode]) * 1e6, Median(idles[mode]) * 1e3);
    double loads[3] = {};
    if (::getloadavg(loads, 3) == 3)
        std::printf("load average %.2f %.2f %.2f\n", loads[0], loads[1], loads[2]);
    return 0;
}
