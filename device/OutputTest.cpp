#include "device/OutputTest.h"

#include <cstdio>

#include "config/Quantities.h"

bool IsTestCurrent(double milliamperes)
{
    return milliamperes >= kMinTestCurrent && milliamperes <= kMaxTestCurrent;
}

std::string OutputTestCommand(int channel, double milliamperes)
{
    // Truncated, not rounded: 4.35 mA goes out as 434, as the unit has always been sent.
    char line[48];
    std::snprintf(line, sizeof line, "XO %d %d", channel, TruncateToInt32(milliamperes * 100.0));
    return line;
}

bool TestOutput(const CUnitConnection& connection, int channel, double milliamperes,
                CDeviceObserver& observer, std::string& errorText)
{
    if (!IsTestCurrent(milliamperes)) {
        errorText = kTestCurrentText;
        return false;
    }
    return RunGuarded(errorText, [&] {
        CCommunications comm(connection.timings, connection.stop);
        if (connection.trace) comm.Port().SetTrace(connection.trace);

        observer.ShowStatus(kStatusConnecting);
        bool sent =
            comm.EnterCommandMode(connection.port, connection.baudRate) && !comm.abortRequested;
        if (sent) {
            observer.ShowStatus(kStatusSendingOutputTest);
            sent = comm.SendCommand(OutputTestCommand(channel, milliamperes));
        }
        if (!sent) errorText = comm.abortRequested ? kStatusCancelled : comm.GetErrorText();
        comm.ClosePort();
        return sent;
    });
}
