// What the tool does to a unit, without a user interface: read its configuration, program
// it, flash its software, drive an analog output. Each operation opens the port, runs,
// and closes the port on every path; it tells an observer its status texts and progress
// in the order a technician sees them in the dialogs, and the command-line program prints
// the same texts.
//
// Operations block for as long as the unit takes (several seconds per step when it does
// not answer): the dialogs run them on a worker thread.
#pragma once

#include <string>

#include "comm/Communications.h"
#include "comm/SerialPort.h"

inline constexpr char kStatusReady[] = "Ready";
inline constexpr char kStatusConnecting[] = "Connecting...";
// Shown in front of a failed step's text, in a message box or as the program's last line.
inline constexpr char kErrorPrefix[] = "Error: ";

// Told of an operation's progress, on the thread that runs it.
class CDeviceObserver {
public:
    virtual void ShowStatus(const std::string& text) = 0;
    // The progress bar runs from 0 to maximum.
    virtual void SetProgressRange(int maximum) = 0;
    virtual void SetProgress(int position) = 0;

protected:
    ~CDeviceObserver() = default;
};

// Where and how the unit is reached.
struct CUnitConnection {
    std::string port;  // a device path, or "COM n"
    int baudRate = 57600;
    CommTimings timings;
    SerialTrace trace;  // every byte on the line, when set
};
