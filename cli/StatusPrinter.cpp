#include "cli/StatusPrinter.h"

#include <algorithm>
#include <string_view>

#include "device/FlashRun.h"

bool IsProgressStatus(std::string_view text)
{
    // The download's status up to its number: "Flash in progress, ".
    const std::string_view format = kStatusFlashProgressFormat;
    return text.starts_with(format.substr(0, format.find('%')));
}

CStatusPrinter::CStatusPrinter(std::FILE* output, bool isTerminal, CLineTrace* lineTrace)
    : out(output), terminal(isTerminal), trace(lineTrace)
{
}

void CStatusPrinter::ShowStatus(const std::string& text)
{
    if (trace != nullptr) trace->Flush();
    if (!IsProgressStatus(text)) {
        Finish();
        PrintLine(text);
        return;
    }
    if (terminal && trace == nullptr) {
        // A trace prints between the blocks; a bar redrawn in place would tear it apart.
        barText = text;
        DrawBar();
    } else if (text != lastPrinted) {
        PrintLine(text);
    }
}

void CStatusPrinter::ShowProgress(std::size_t current, std::size_t maximum)
{
    range = std::max<std::size_t>(maximum, 1);
    position = std::min(current, range);
    if (!barText.empty()) DrawBar();
}

void CStatusPrinter::Finish()
{
    if (!barText.empty()) {
        Emit("\n");
        barText.clear();
        drawn.clear();
    }
}

void CStatusPrinter::PrintLine(const std::string& text)
{
    // A failed step's details (a device and the system's reason) follow on further lines;
    // the closing "Error: " line carries them, so the status keeps to its first line.
    lastPrinted = text.substr(0, text.find('\n'));
    Emit(lastPrinted + "\n");
}

void CStatusPrinter::DrawBar()
{
    const std::size_t filled = position * kBarWidth / range;
    std::string line =
        "\r[" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] " + barText;
    if (line == drawn) return;
    drawn = line;
    // Clear to the end of the line: a shorter text leaves nothing of a longer one behind.
    Emit(line + "\x1b[K");
}

void CStatusPrinter::Emit(const std::string& text)
{
    (void)std::fputs(text.c_str(), out);
    (void)std::fflush(out);
}
