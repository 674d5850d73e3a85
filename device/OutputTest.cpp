#include "device/OutputTest.h"

#include <cstdio>

#include "config/Quantities.h"
#include "device/UnitSession.h"

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

bool TestOutput(const UnitConnection& connection, int channel, double milliamperes,
                COperationObserver& observer, std::string& errorText)
{
    if (!IsTestCurrent(milliamperes)) {
        errorText = kTestCurrentText;
        return false;
    }
    return RunGuarded(errorText, [&] {
        CUnitSession session(connection, observer);
        observer.ShowStatus(kStatusConnecting);
        if (!session.EnterCommandMode() || session.Stopped()) return session.Fail(errorText);
        observer.ShowStatus(kStatusSendingOutputTest);
        if (!session.Comm().SendCommand(OutputTestCommand(channel, milliamperes)))
            return session.Fail(errorText);
        return true;
    });
}
