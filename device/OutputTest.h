// Making the unit drive one analog output channel at a test current.
#pragma once

#include <string>

#include "device/DeviceOperation.h"

inline constexpr char kStatusSendingOutputTest[] = "Sending XO Command";
// The test currents a channel can drive.
inline constexpr double kMinTestCurrent = 4.0;
inline constexpr double kMaxTestCurrent = 20.0;

// "XO <channel> <current in hundredths of a milliampere, truncated>".
std::string OutputTestCommand(int channel, double milliamperes);

// Connects, sends the one "XO" line and closes the port again. The current is sent as
// given; keeping it within 4..20 mA is the caller's business.
bool TestOutput(const CUnitConnection& connection, int channel, double milliamperes,
                CDeviceObserver& observer, std::string& errorText);
