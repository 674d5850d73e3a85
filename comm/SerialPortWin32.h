// The Windows port's settings as plain values, so that tests can check them without a port.
#pragma once

#include <windows.h>

// The port's current settings changed to raw 8N1 at the rate: binary, no parity checks,
// no flow control of either kind, no character replaced or dropped, DTR and RTS up.
DCB LineSettings(const DCB& current, int baudRate);

// One time-out for each read of one byte and for each whole write, as the POSIX port keeps
// it: a read waits at most this long for its byte. 0 waits for nothing.
COMMTIMEOUTS TimeoutsFor(unsigned milliseconds);
