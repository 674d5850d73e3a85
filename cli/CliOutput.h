// How every weirlink subcommand ends: its exit status, its output and its error line.
#pragma once

#include <string>

// Latin1ToUtf8 is what every record text passes through on its way to the terminal.
#include "config/SettingText.h"

enum ExitStatus : int {
    ExitSuccess = 0,
    ExitFailure = 1,  // the operation failed; the last line on stderr is "Error: ..."
    ExitUsage = 2,    // the command line was not understood
};

// Prints the text of a failed operation as one "Error: ..." line, the last on stderr.
// Further lines of the text (a path and the system's reason) go in parentheses on the same
// line, so that a script finds the whole reason in the last line.
int ReportFailure(const std::string& errorText);

// The text of a failed operation on one line, as ReportFailure prints it after "Error: ".
std::string OneLineFailure(const std::string& errorText);

// Writes the text to stdout; a failed write (a full disk, a closed pipe) is a failure too.
int PrintOutput(const std::string& text);
