// How the device commands tell a technician what is happening: the operation's status texts,
// one per line, in their order, the same texts the desktop program's dialogs show. A flash
// download's progress is a bar redrawn in place on a terminal; elsewhere (a log, a pipe)
// each percentage is printed once, not once per block.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/LineTrace.h"
#include "comm/OperationObserver.h"

// "Flash in progress, 12 % complete": a status that only moves a download's progress on.
bool IsProgressStatus(std::string_view text);

class CStatusPrinter final : public COperationObserver {
public:
    static constexpr std::size_t kBarWidth = 40;

    // terminal: out is a terminal on which a line can be redrawn. trace: printed up to date
    // before each status, so that bytes and statuses keep their order; may be null.
    CStatusPrinter(std::FILE* out, bool terminal, CLineTrace* trace = nullptr);

    void ShowStatus(const std::string& text) override;
    void ShowProgress(std::size_t current, std::size_t maximum) override;

    // Ends a bar that is still drawn, so that whatever comes next starts on a line of its own.
    void Finish();

private:
    void PrintLine(const std::string& text);
    void DrawBar();
    void Emit(const std::string& text);

    std::FILE* out;
    bool terminal;
    CLineTrace* trace;
    std::string lastPrinted;
    std::string barText;  // the progress status the bar shows, empty when no bar is drawn
    std::size_t range = 100;
    std::size_t position = 0;
    std::string drawn;  // what the bar's line shows now, so that a repeat draws nothing
};
