#include "device/UnitSession.h"

CUnitSession::CUnitSession(const UnitConnection& connection, COperationObserver& observerOf)
    : observer(observerOf),
      port(connection.port),
      baudRate(connection.baudRate),
      comm(connection.timings, &observerOf, connection.trace)
{
}

bool CUnitSession::Fail(std::string& errorText)
{
    // A step that failed because a stop was asked for tells that, not its own words.
    errorText = Stopped() ? kStatusCancelled : comm.GetErrorText();
    comm.ClosePort();
    return false;
}

bool CUnitSession::Cancel(std::string& errorText)
{
    errorText = kStatusCancelled;
    comm.ClosePort();
    return false;
}
