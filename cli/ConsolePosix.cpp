#include "cli/Console.h"

#include <signal.h>
#include <unistd.h>

#include <iterator>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
std::atomic<bool>* stopFlag = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free, "stored to from a signal handler");
struct sigaction previous[std::size(kStopSignals)]{};

extern "C" void OnStopSignal(int)
{
    stopFlag->store(true);
}

}  // namespace

void PrepareConsole() {}

bool IsTerminal(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

CSignalsStopFlash::CSignalsStopFlash(std::atomic<bool>& flag)
{
    stopFlag = &flag;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &action, &previous[i]);
}

CSignalsStopFlash::~CSignalsStopFlash()
{
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &previous[i], nullptr);
    stopFlag = nullptr;
}
