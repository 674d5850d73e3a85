// The clock every wait of the protocol and of the operations on it reads, and the pauses
// between their steps.
#pragma once

#include <atomic>

// Milliseconds of the steady clock: for deadlines, never for the time of day.
long long NowMs();

// Sleeps; a time of zero or less returns at once.
void Pause(int milliseconds);

// Sleeps, but wakes within a few hundredths of a second of a stop asked for.
void PauseUnlessStopped(int milliseconds, const std::atomic<bool>& stop);
