// --trace: every byte on the line, as a technician attaches it to a report. One line per
// burst in one direction (at most 16 bytes a line), marked "> " for what the tool sent and
// "< " for what came back, in hex and as text:
//   > 04
//   < 0D 0A 57 65 69 72 6C 69 6E 6B 20 64 61 74 61 20  ..Weirlink data
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "comm/SerialPort.h"

class CLineTrace {
public:
    // Bytes further apart than this start a new line even in the same direction.
    static constexpr std::chrono::milliseconds kBurstGap{20};
    static constexpr std::size_t kBytesPerLine = 16;

    explicit CLineTrace(std::FILE* out) : out(out) {}
    ~CLineTrace() { Flush(); }
    CLineTrace(const CLineTrace&) = delete;
    CLineTrace& operator=(const CLineTrace&) = delete;

    void Add(TraceDirection direction, const std::uint8_t* bytes, std::size_t count);
    // Prints the burst still being collected; called before anything else is printed.
    void Flush();
    // What the serial port calls; the object must outlive the port's use of it.
    SerialTrace Function();

private:
    using Clock = std::chrono::steady_clock;

    std::FILE* out;
    TraceDirection direction = TraceDirection::Sent;
    std::vector<std::uint8_t> pending;
    Clock::time_point lastByte{};
};
