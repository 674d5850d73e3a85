// The one way an operation on a unit talks to whoever started it: it tells its status texts
// and its progress, and asks whether to stop. Called on the thread that runs the operation;
// the protocol object and the device operations both report through it.
#pragma once

#include <cstddef>
#include <string>

class COperationObserver {
public:
    // The step under way, in the words a technician reads.
    virtual void ShowStatus(const std::string& /*text*/) {}
    // current of maximum done: blocks of a file in bytes, lines of a send, steps of a read.
    virtual void ShowProgress(std::size_t /*current*/, std::size_t /*maximum*/) {}
    // Asked at every check, often (every few hundredths of a second while a wait runs);
    // true ends the operation under way, which then fails. Usually reads a flag set from
    // another thread or a signal handler.
    virtual bool StopRequested() const { return false; }

protected:
    ~COperationObserver() = default;  // never deleted through this interface
};
