// What the device commands print around an operation: the trace of the line and the status
// lines with their progress bar.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "cli/LineTrace.h"
#include "cli/StatusPrinter.h"

namespace {

// A FILE* whose text the test can read.
class CCapture {
public:
    CCapture() : file(::open_memstream(&buffer, &size)) {}
    ~CCapture()
    {
        std::fclose(file);
        std::free(buffer);
    }
    std::FILE* File() const { return file; }
    std::string Text()
    {
        std::fflush(file);
        return std::string(buffer, size);
    }

private:
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* file;
};

void Add(CLineTrace& trace, TraceDirection direction, const std::string& bytes)
{
    trace.Add(direction, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(LineTrace, OneLinePerBurstAndDirectionWithTheTextAligned)
{
    CCapture out;
    {
        CLineTrace trace(out.File());
        Add(trace, TraceDirection::Sent, "\x04");
        // Received one byte at a time, as the port reads them.
        for (const char c : std::string("\r\n[ENTERED CONTROL MODE]\r\n>"))
            Add(trace, TraceDirection::Received, std::string(1, c));
        Add(trace, TraceDirection::Sent, "OK\n");
        std::this_thread::sleep_for(CLineTrace::kBurstGap * 2);
        Add(trace, TraceDirection::Sent, "PS\n");
    }  // the last burst is printed at the end
    EXPECT_EQ(out.Text(),
              "> 04                                               .\n"
              "< 0D 0A 5B 45 4E 54 45 52 45 44 20 43 4F 4E 54 52  ..[ENTERED CONTR\n"
              "< 4F 4C 20 4D 4F 44 45 5D 0D 0A 3E                 OL MODE]..>\n"
              "> 4F 4B 0A                                         OK.\n"
              "> 50 53 0A                                         PS.\n");
}

TEST(StatusPrinter, ABarIsRedrawnInPlaceOnlyWhenItChanges)
{
    CCapture out;
    CStatusPrinter printer(out.File(), true);
    printer.SetProgressRange(100);
    printer.ShowStatus("Loading the software file...");
    for (int i = 0; i < 3; ++i) {  // several blocks within one percent
        printer.ShowStatus("Flash in progress, 50 % complete");
        printer.SetProgress(50);
    }
    printer.ShowStatus("Rebooting the unit...");
    const std::string bar = "\r[" + std::string(20, '#') + std::string(20, ' ') + "] ";
    EXPECT_EQ(out.Text(), std::string("Loading the software file...\n") +
                              // drawn with the position before the status's own
                              "\r[" + std::string(40, ' ') + "] " +
                              "Flash in progress, 50 % complete\x1b[K" + bar +
                              "Flash in progress, 50 % complete\x1b[K\n"
                              "Rebooting the unit...\n");
}

TEST(StatusPrinter, WithoutATerminalEachPercentIsOneLine)
{
    for (const bool withTrace : {false, true}) {
        // A trace on a terminal prints lines too: a bar would tear its lines apart.
        CCapture out;
        CLineTrace trace(out.File());
        CStatusPrinter printer(out.File(), withTrace, withTrace ? &trace : nullptr);
        for (const char* status :
             {"Flash in progress, 1 % complete", "Flash in progress, 1 % complete",
              "Flash in progress, 2 % complete"}) {
            printer.ShowStatus(status);
            printer.SetProgress(1);
        }
        // Statuses that repeat are not progress: each one is shown.
        printer.ShowStatus("Sending SZ");
        printer.ShowStatus("Sending SZ");
        // A failed step's second line is left to the closing error line.
        printer.ShowStatus("Failed: Failed to open serial port\n/dev/ttyUSB0: busy");
        EXPECT_EQ(out.Text(),
                  "Flash in progress, 1 % complete\n"
                  "Flash in progress, 2 % complete\n"
                  "Sending SZ\nSending SZ\n"
                  "Failed: Failed to open serial port\n");
    }
}

}  // namespace
