#include "device/ConfigTransfer.h"

#include <sstream>

#include "config/CommandList.h"
#include "config/ConfigImage.h"

namespace {

// The port is closed on every way out of an operation.
class CSession {
public:
    explicit CSession(const CUnitConnection& connection) : comm(connection.timings, connection.stop)
    {
        if (connection.trace) comm.Port().SetTrace(connection.trace);
    }
    ~CSession() { comm.ClosePort(); }
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    // A step that failed because a stop was asked for tells that, not its own words.
    bool Fail(std::string& errorText)
    {
        errorText = Stopped() ? kStatusCancelled : comm.GetErrorText();
        comm.ClosePort();
        return false;
    }
    bool Stopped() const { return comm.abortRequested; }
    bool Cancel(std::string& errorText)
    {
        errorText = kStatusCancelled;
        comm.ClosePort();
        return false;
    }

    CCommunications comm;
};

// The status names a line by its two-letter command code.
std::string CommandCode(const std::string& line)
{
    return line.substr(0, 2);
}

bool ReadSteps(const CUnitConnection& connection, UnitConfig& config, CDeviceObserver& observer,
               std::string& errorText)
{
    CSession session(connection);
    CCommunications& comm = session.comm;

    observer.SetProgressRange(3);
    observer.SetProgress(0);
    observer.ShowStatus(kStatusConnecting);
    if (!comm.EnterCommandMode(connection.port, connection.baudRate))
        return session.Fail(errorText);

    observer.ShowStatus(kStatusReading);
    observer.SetProgress(1);
    std::string image;
    if (!comm.QuerySettings(image)) return session.Fail(errorText);

    comm.ClosePort();
    if (session.Stopped()) return session.Cancel(errorText);
    observer.ShowStatus(kStatusLoading);
    observer.SetProgress(2);
    std::istringstream source(image);
    if (!ReadConfigImage(config, source, errorText)) return false;

    observer.ShowStatus(kStatusLoaded);
    observer.SetProgress(3);
    return true;
}

bool SendSteps(const CUnitConnection& connection, const UnitConfig& config,
               const SendOptions& options, CDeviceObserver& observer, std::string& errorText)
{
    std::vector<std::string> lines = BuildSendLines(config, options.zeroTotalizer);
    const int lineCount = static_cast<int>(lines.size()) + (options.synchronizeTime ? 1 : 0);

    CSession session(connection);
    CCommunications& comm = session.comm;
    observer.SetProgressRange(lineCount);
    observer.SetProgress(0);
    observer.ShowStatus(kStatusConnecting);
    if (!comm.EnterCommandMode(connection.port, connection.baudRate))
        return session.Fail(errorText);

    // The clock is read only once the unit answers, so the time it gets is current.
    if (options.synchronizeTime) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        lines.insert(lines.begin(), TimeLine(local));
    }

    const CommTimings& timings = connection.timings;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        // Stopped between lines: the unit keeps the lines it took, and gets no more.
        if (session.Stopped()) return session.Cancel(errorText);
        observer.ShowStatus(kStatusSendingPrefix + CommandCode(line));
        if (!comm.SendCommand(line)) {
            if (session.Stopped()) return session.Cancel(errorText);
            observer.ShowStatus(kStatusRetryingPrefix + CommandCode(line));
            PauseUnlessStopped(timings.commandRetryPauseMs, comm.abortRequested);
            // A line that fails twice ends the send; the unit keeps what it accepted.
            if (!comm.SendCommand(line)) return session.Fail(errorText);
        }
        observer.SetProgress(static_cast<int>(i) + 1);
    }

    // The unit moves its configuration port to the rate just sent, and the tool follows.
    if (session.Stopped()) return session.Cancel(errorText);
    observer.ShowStatus(kStatusApplying);
    if (!comm.ApplyHardware(static_cast<int>(config.serialPort[PortConfiguration].baudRate)))
        return session.Fail(errorText);
    observer.ShowStatus(kStatusProgrammed);
    return true;
}

}  // namespace

bool ReadConfiguration(const CUnitConnection& connection, UnitConfig& config,
                       CDeviceObserver& observer, std::string& errorText)
{
    return RunGuarded(errorText,
                      [&] { return ReadSteps(connection, config, observer, errorText); });
}

bool SendConfiguration(const CUnitConnection& connection, const UnitConfig& config,
                       const SendOptions& options, CDeviceObserver& observer,
                       std::string& errorText)
{
    return RunGuarded(errorText,
                      [&] { return SendSteps(connection, config, options, observer, errorText); });
}

std::vector<std::string> BuildSendLines(const UnitConfig& config, bool zeroTotalizer)
{
    std::vector<std::string> lines;
    if (zeroTotalizer) lines = {"SZ 1", "SZ 2", "SZ 3"};
    BuildCommandList(config, lines);
    return lines;
}

std::string TimeLine(const std::tm& localTime)
{
    char line[32];
    std::strftime(line, sizeof line, "ST %Y %m %d %H %M %S", &localTime);
    return line;
}
