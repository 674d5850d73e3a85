// The clock every wait of the protocol and of the operations on it reads, and the pauses
// between their steps.
#pragma once

#include "comm/OperationObserver.h"

// Milliseconds of the steady clock: for deadlines, never for the time of day.
long long NowMs();

// Sleeps; a time of zero or less returns at once.
void Pause(int milliseconds);

// Sleeps, but wakes within a few hundredths of a second of a stop the observer asks for.
void PauseUnlessStopped(int milliseconds, const COperationObserver& observer);
