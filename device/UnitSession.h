// One conversation with a unit for one operation. Every operation holds one: it connects
// the protocol object to the connection's port, rate, waits and trace, and closes the port
// on every way out, an exception's included.
#pragma once

#include <string>

#include "comm/Communications.h"
#include "comm/OperationObserver.h"
#include "device/DeviceOperation.h"

class CUnitSession {
public:
    // The observer hears what the protocol object reports and decides when it stops.
    CUnitSession(const UnitConnection& connection, COperationObserver& observer);
    ~CUnitSession() { comm.ClosePort(); }
    CUnitSession(const CUnitSession&) = delete;
    CUnitSession& operator=(const CUnitSession&) = delete;

    // Command mode at the connection's port and rate.
    bool EnterCommandMode() { return comm.EnterCommandMode(port, baudRate); }
    CCommunications& Comm() { return comm; }
    bool Stopped() const { return observer.StopRequested(); }

    // Ends a failed step: the port closed, and errorText tells the step's failure, or
    // kStatusCancelled when a stop was asked for. Always false.
    bool Fail(std::string& errorText);
    // Ends a stopped operation between steps with kStatusCancelled. Always false.
    bool Cancel(std::string& errorText);

private:
    const COperationObserver& observer;
    const std::string port;
    const int baudRate;
    CCommunications comm;
};
