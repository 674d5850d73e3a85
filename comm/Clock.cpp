#include "comm/Clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void Pause(int milliseconds)
{
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PauseUnlessStopped(int milliseconds, const COperationObserver& observer)
{
    constexpr int kSliceMs = 20;
    for (int left = milliseconds; left > 0 && !observer.StopRequested(); left -= kSliceMs)
        Pause(std::min(left, kSliceMs));
}
