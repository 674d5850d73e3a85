// What the tool does to a unit, without a user interface: read its configuration, program
// it, flash its software, drive an analog output. Each operation opens the port, runs,
// and closes the port on every path; it tells an observer its status texts and progress
// in the order a technician sees them in the dialogs, and the command-line program prints
// the same texts.
//
// Operations block for as long as the unit takes (several seconds per step when it does
// not answer): the dialogs run them on a worker thread, and may stop them from there. No
// operation lets an exception out: one it could not foresee (running out of memory, above
// all) fails it with a text like any other failure.
#pragma once

#include <exception>
#include <new>
#include <string>

#include "comm/Communications.h"
#include "comm/OperationObserver.h"
#include "comm/SerialPort.h"

inline constexpr char kStatusReady[] = "Ready";
inline constexpr char kStatusConnecting[] = "Connecting...";
// Shown in front of a failed step's text, in a message box or as the program's last line.
inline constexpr char kErrorPrefix[] = "Error: ";
// The text of an operation that was stopped on request.
inline constexpr char kStatusCancelled[] = "Cancelled";
inline constexpr char kOutOfMemoryText[] = "Not enough memory for the operation";
inline constexpr char kUnexpectedErrorPrefix[] = "Unexpected error: ";

// Where and how the unit is reached; every operation takes one. An operation's observer
// (comm/OperationObserver.h) hears its statuses and progress, and may stop it: the operation
// then ends at its next check, the port closed, and fails with kStatusCancelled (a flash
// with "Download aborted at user request").
struct UnitConnection {
    std::string port;      // a device path, or "COM n"
    int baudRate = 57600;  // the rate the unit's configuration port is set to
    CommTimings timings;
    SerialTrace trace;  // every byte on the line, when set
};

// The text for the exception being handled.
inline std::string CurrentExceptionText()
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return kOutOfMemoryText;
    } catch (const std::exception& error) {
        return kUnexpectedErrorPrefix + std::string(error.what());
    } catch (...) {
        return kUnexpectedErrorPrefix + std::string("unknown");
    }
}

// Runs an operation's body; an exception it throws becomes a failure with its text.
template <class Body>
bool RunGuarded(std::string& errorText, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        errorText = CurrentExceptionText();
        return false;
    }
}
