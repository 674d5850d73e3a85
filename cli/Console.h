// What the weirlink program needs from the console it runs in; each platform has its own.
#pragma once

#include <atomic>
#include <cstdio>

// Makes the console show the program's UTF-8 text as such (the site names and unit signs of
// `show`). Call once at start.
void PrepareConsole();

// Whether the stream is a terminal on which a line can be redrawn in place ('\r', ESC [K).
bool IsTerminal(std::FILE* stream);

// While it lives, Ctrl+C sets the flag instead of ending the program, so that a flash can
// stop and reboot the unit; so do a shutdown (SIGTERM) and a terminal that closes (SIGHUP),
// or on Windows Ctrl+Break and a console window that closes. A second signal of the same
// kind ends the program at once. One at a time.
class CSignalsStopFlash {
public:
    explicit CSignalsStopFlash(std::atomic<bool>& flag);
    ~CSignalsStopFlash();
    CSignalsStopFlash(const CSignalsStopFlash&) = delete;
    CSignalsStopFlash& operator=(const CSignalsStopFlash&) = delete;
};
