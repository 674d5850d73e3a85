#include "device/ConfigTransfer.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "config/CommandList.h"
#include "config/ConfigImage.h"

namespace {

// The port is closed on every way out of an operation.
class CSession {
public:
    explicit CSession(const CUnitConnection& connection) : comm(connection.timings)
    {
        if (connection.trace) comm.Port().SetTrace(connection.trace);
    }
    ~CSession() { comm.ClosePort(); }
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    bool Fail(std::string& errorText)
    {
        errorText = comm.GetErrorText();
        comm.ClosePort();
        return false;
    }

    CCommunications comm;
};

void Pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The status names a line by its two-letter command code.
std::string CommandCode(const std::string& line)
{
    return line.substr(0, 2);
}

}  // namespace

bool ReadConfiguration(const CUnitConnection& connection, UnitConfig& config,
                       CDeviceObserver& observer, std::string& errorText)
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
    observer.ShowStatus(kStatusLoading);
    observer.SetProgress(2);
    std::istringstream source(image);
    if (!ReadConfigImage(config, source, errorText)) return false;

    observer.ShowStatus(kStatusLoaded);
    observer.SetProgress(3);
    return true;
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

bool SendConfiguration(const CUnitConnection& connection, const UnitConfig& config,
                       const SendOptions& options, CDeviceObserver& observer,
                       std::string& errorText)
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
        observer.ShowStatus(kStatusSendingPrefix + CommandCode(line));
        if (!comm.SendCommand(line)) {
            observer.ShowStatus(kStatusRetryingPrefix + CommandCode(line));
            Pause(timings.commandRetryPauseMs);
            // A line that fails twice ends the send; the unit keeps what it accepted.
            if (!comm.SendCommand(line)) return session.Fail(errorText);
        }
        observer.SetProgress(static_cast<int>(i) + 1);
    }

    // The unit moves its configuration port to the rate just sent, and the tool follows.
    observer.ShowStatus(kStatusApplying);
    if (!comm.ApplyHardware(static_cast<int>(config.serialPort[PortConfiguration].baudRate)))
        return session.Fail(errorText);
    observer.ShowStatus(kStatusProgrammed);
    return true;
}
