// Status text on its way to a terminal without holding up the exchange with a unit. Writing
// to a terminal wakes whoever draws it, and on a machine with few cores that program then
// competes with the tool for the processor between a reply's prompt and the next line. So
// the thread talking to the unit only appends to a buffer; a thread of its own writes the
// buffer out every few hundredths of a second, in the order it was handed over.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

class CBackgroundWriter {
public:
    // How late a status may appear; short enough that a person sees no lag.
    static constexpr std::chrono::milliseconds kInterval{50};

    explicit CBackgroundWriter(std::FILE* out);
    ~CBackgroundWriter();  // writes what is left
    CBackgroundWriter(const CBackgroundWriter&) = delete;
    CBackgroundWriter& operator=(const CBackgroundWriter&) = delete;

    // Any thread; costs a lock and a copy, never a system call.
    void Write(std::string_view text);
    // Writes everything handed over so far, on the calling thread, before it returns: before
    // an error line, and at the end of an operation.
    void Flush();

private:
    void Run();

    std::FILE* out;
    std::mutex writing;  // taken first: one writer at a time keeps the order of the text
    std::mutex mutex;    // guards pending and stopping
    std::condition_variable wake;
    std::string pending;
    bool stopping = false;
    std::thread thread;  // last: it uses the members above
};
