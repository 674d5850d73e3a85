#include "cli/Console.h"

#include <io.h>
#include <windows.h>

#include <cstdlib>
#include <mutex>

#include "comm/Clock.h"

namespace {

// The handler runs on a thread of its own while the guard may be ending on the main one:
// the lock keeps it from storing to a flag whose run is already over.
std::mutex stopFlagLock;
std::atomic<bool>* stopFlag = nullptr;
std::atomic<bool> interrupted{false};
// The system ends the program once the handler of a closing console, a logoff or a shutdown
// returns, and gives it about five seconds; the run gets most of them to reboot the unit.
constexpr DWORD kClosingWaitMs = 4500;

// Asks the running flash to stop; false when none is running.
bool RequestStop()
{
    const std::lock_guard<std::mutex> lock(stopFlagLock);
    if (stopFlag == nullptr) return false;
    stopFlag->store(true);
    return true;
}

bool FlashRunning()
{
    const std::lock_guard<std::mutex> lock(stopFlagLock);
    return stopFlag != nullptr;
}

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            // The second one is left to the system, which ends the program.
            if (interrupted.exchange(true)) return FALSE;
            return RequestStop() ? TRUE : FALSE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            if (!RequestStop()) return FALSE;
            for (DWORD waited = 0; FlashRunning() && waited < kClosingWaitMs; waited += 50)
                Pause(50);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

void PrepareConsole()
{
    // The console keeps its code page after the program ends; the next program there
    // expects the one it had.
    static const UINT previous = ::GetConsoleOutputCP();
    if (previous == 0 || previous == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8)) return;
    std::atexit([] { ::SetConsoleOutputCP(previous); });
}

bool IsTerminal(std::FILE* stream)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) return false;
    // A console that cannot take the escape sequences gets plain lines, as a file would.
    return ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

CSignalsStopFlash::CSignalsStopFlash(std::atomic<bool>& flag)
{
    interrupted = false;
    {
        const std::lock_guard<std::mutex> lock(stopFlagLock);
        stopFlag = &flag;
    }
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

CSignalsStopFlash::~CSignalsStopFlash()
{
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    const std::lock_guard<std::mutex> lock(stopFlagLock);
    stopFlag = nullptr;
}
