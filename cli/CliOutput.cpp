#include "cli/CliOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

std::string OneLineFailure(const std::string& errorText)
{
    const std::size_t firstBreak = errorText.find('\n');
    std::string_view first = std::string_view(errorText).substr(0, firstBreak);
    // The file texts begin with "Error, " themselves; the line says it once.
    if (first.starts_with("Error, ") || first.starts_with("Error: ")) first.remove_prefix(7);
    std::string line(first);
    if (firstBreak != std::string::npos) {
        std::string details = errorText.substr(firstBreak + 1);
        for (char& c : details)
            if (c == '\n') c = ' ';
        line += " (" + details + ")";
    }
    return line;
}

int ReportFailure(const std::string& errorText)
{
    const std::string line = "Error: " + OneLineFailure(errorText);
    // Whatever the command printed comes first; the error line must be the last one.
    (void)std::fflush(stdout);
    (void)std::fprintf(stderr, "%s\n", line.c_str());
    return ExitFailure;
}

int PrintOutput(const std::string& text)
{
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (!written || std::fflush(stdout) != 0) {
        const int error = errno != 0 ? errno : EIO;
        return ReportFailure(std::string("Could not write the output.\n") + std::strerror(error));
    }
    return ExitSuccess;
}
