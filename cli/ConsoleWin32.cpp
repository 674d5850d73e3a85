#include "cli/Console.h"

#include <io.h>
#include <windows.h>

#include <cstdlib>

namespace {

std::atomic<bool>* interruptFlag = nullptr;
std::atomic<bool> interrupted{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // The second Ctrl+C is left to the system, which ends the program.
    if (interruptFlag == nullptr || interrupted.exchange(true)) return FALSE;
    interruptFlag->store(true);
    return TRUE;
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

CInterruptStopsFlash::CInterruptStopsFlash(std::atomic<bool>& flag)
{
    interrupted = false;
    interruptFlag = &flag;
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

CInterruptStopsFlash::~CInterruptStopsFlash()
{
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    interruptFlag = nullptr;
}
