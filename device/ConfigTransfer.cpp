#include "device/ConfigTransfer.h"

#include <sstream>

#include "comm/Clock.h"
#include "config/CommandList.h"
#include "config/ConfigImage.h"
#include "device/UnitSession.h"

namespace {

// The status names a line by its two-letter command code.
std::string CommandCode(const std::string& line)
{
    return line.substr(0, 2);
}

bool ReadSteps(const UnitConnection& connection, UnitConfig& config, COperationObserver& observer,
               std::string& errorText)
{
    constexpr std::size_t kSteps = 3;
    CUnitSession session(connection, observer);
    CCommunications& comm = session.Comm();

    observer.ShowProgress(0, kSteps);
    observer.ShowStatus(kStatusConnecting);
    if (!session.EnterCommandMode()) return session.Fail(errorText);

    observer.ShowStatus(kStatusReading);
    observer.ShowProgress(1, kSteps);
    std::string image;
    if (!comm.QuerySettings(image)) return session.Fail(errorText);

    comm.ClosePort();
    if (session.Stopped()) return session.Cancel(errorText);
    observer.ShowStatus(kStatusLoading);
    observer.ShowProgress(2, kSteps);
    std::istringstream source(image);
    if (!ReadConfigImage(config, source, errorText)) return false;

    observer.ShowStatus(kStatusLoaded);
    observer.ShowProgress(3, kSteps);
    return true;
}

bool SendSteps(const UnitConnection& connection, const UnitConfig& config,
               const SendOptions& options, COperationObserver& observer, std::string& errorText)
{
    std::vector<std::string> lines = BuildSendLines(config, options.zeroTotalizer);
    const std::size_t lineCount = lines.size() + (options.synchronizeTime ? 1 : 0);

    CUnitSession session(connection, observer);
    CCommunications& comm = session.Comm();
    observer.ShowProgress(0, lineCount);
    observer.ShowStatus(kStatusConnecting);
    if (!session.EnterCommandMode()) return session.Fail(errorText);

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
            PauseUnlessStopped(timings.commandRetryPauseMs, observer);
            // A line that fails twice ends the send; the unit keeps what it accepted.
            if (!comm.SendCommand(line)) return session.Fail(errorText);
        }
        observer.ShowProgress(i + 1, lineCount);
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

bool ReadConfiguration(const UnitConnection& connection, UnitConfig& config,
                       COperationObserver& observer, std::string& errorText)
{
    return RunGuarded(errorText,
                      [&] { return ReadSteps(connection, config, observer, errorText); });
}

bool SendConfiguration(const UnitConnection& connection, const UnitConfig& config,
                       const SendOptions& options, COperationObserver& observer,
                       std::string& errorText)
{
    return RunGuarded(errorText,
                      [&] { return SendSteps(connection, config, options, observer, errorText); });
}

bool VerifyConfiguration(const UnitConnection& connection, const UnitConfig& sent,
                         COperationObserver& observer, std::vector<SettingChange>& changes,
                         std::string& errorText)
{
    UnitConnection afterSend = connection;
    afterSend.baudRate = static_cast<int>(sent.serialPort[PortConfiguration].baudRate);
    UnitConfig unit{};
    if (!ReadConfiguration(afterSend, unit, observer, errorText)) return false;
    changes = CompareSettings(sent, unit);
    if (changes.empty()) return true;
    errorText = kStatusDiffersPrefix + std::to_string(changes.size()) + " settings";
    return false;
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
