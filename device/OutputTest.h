// Making the unit drive one analog output channel at a test current.
#pragma once

#include <string>

#include "device/DeviceOperation.h"

inline constexpr char kStatusSendingOutputTest[] = "Sending XO Command";
inline constexpr char kTestCurrentText[] = "The test current must be a number from 4 to 20 mA.";
// The test currents a channel can drive.
inline constexpr double kMinTestCurrent = 4.0;
inline constexpr double kMaxTestCurrent = 20.0;

// A current a channel can drive: 4 to 20 mA. NaN is none.
bool IsTestCurrent(double milliamperes);

// "XO <channel> <current in hundredths of a milliampere, truncated>".
std::string OutputTestCommand(int channel, double milliamperes);

// Connects, sends the one "XO" line and closes the port again. A current that is not a test
// current (IsTestCurrent) is refused with kTestCurrentText before the port is opened: the
// unit would drive whatever it is sent.
bool TestOutput(const UnitConnection& connection, int channel, double milliamperes,
                COperationObserver& observer, std::string& errorText);
