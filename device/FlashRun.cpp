#include "device/FlashRun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "comm/Clock.h"
#include "device/UnitSession.h"

std::string SoftwareDisplayName(const std::string& path)
{
    const std::size_t separator = path.find_last_of("/\\");
    if (separator != std::string::npos && separator > 0 && separator + 2 < path.size())
        return path.substr(separator + 1);
    return path;
}

namespace {

// The progress bar's scale: percent of the file.
constexpr std::size_t kProgressScale = 100;

// One run. The protocol object reports to the run, which tells the technician the
// download's progress in percent and passes on the stops its own observer asks for.
class CFlashRun final : private COperationObserver {
public:
    CFlashRun(const UnitConnection& connection, COperationObserver& runObserver)
        : observer(runObserver), session(connection, *this)
    {
    }

    bool Run(const FlashOptions& options, std::string& errorText);

private:
    void ShowProgress(std::size_t current, std::size_t maximum) override;
    bool StopRequested() const override { return observer.StopRequested(); }

    bool RunSteps(const FlashOptions& options, std::string& errorText);
    bool Fail(const char* prefix, const std::string& text, std::string& errorText);

    COperationObserver& observer;
    CUnitSession session;
    bool inBootloader = false;  // "SX" was answered and no reboot has been sent since
};

bool CFlashRun::Fail(const char* prefix, const std::string& text, std::string& errorText)
{
    // A run stopped on request says so, whichever step it was at.
    const bool stopped = session.Stopped();
    errorText = stopped ? kDownloadAbortedText : text;
    observer.ShowStatus(stopped ? errorText : prefix + text);
    observer.ShowProgress(0, kProgressScale);
    session.Comm().ClosePort();
    return false;
}

bool CFlashRun::Run(const FlashOptions& options, std::string& errorText)
{
    try {
        return RunSteps(options, errorText);
    } catch (...) {
        // Whatever went wrong, a unit in its bootloader is restarted, and the run fails
        // like any other.
        errorText = CurrentExceptionText();
        try {
            if (inBootloader) session.Comm().Reboot();
            observer.ShowStatus((inBootloader ? kStatusFlashFailedPrefix : kStatusFailedPrefix) +
                                errorText);
            observer.ShowProgress(0, kProgressScale);
        } catch (...) {
        }
        session.Comm().ClosePort();
        return false;
    }
}

bool CFlashRun::RunSteps(const FlashOptions& options, std::string& errorText)
{
    CCommunications& comm = session.Comm();
    const CommTimings& timings = comm.Timings();

    // The whole file is read and checked before the unit is touched: no unit is left in its
    // bootloader for want of a file, nor gets part of one as if it were all of it.
    std::vector<std::uint8_t> software;
    std::string fileError;
    if (!ReadSoftwareFile(options.softwarePath, software, fileError))
        return Fail(kStatusFailedPrefix, fileError, errorText);

    observer.ShowStatus(kStatusConnectingToUnit);
    // Stopped while connecting: the unit is still in command mode, there is nothing to undo.
    if (!session.EnterCommandMode() || session.Stopped())
        return Fail(kStatusFailedPrefix, comm.GetErrorText(), errorText);
    observer.ShowStatus(kStatusInitializingFlash);
    if (!comm.InitFlash(options.downloadBaudRate))
        return Fail(kStatusFailedPrefix, comm.GetErrorText(), errorText);
    inBootloader = true;

    // From here every way out restarts the unit: one left in its bootloader is of no use in
    // the field. First it restarts into the bootloader, before it can answer a ping.
    bool downloaded = false;
    std::string failure;
    PauseUnlessStopped(timings.flashStartPauseMs, observer);
    if (!session.Stopped()) {
        observer.ShowStatus(kStatusLocatingTarget);
        if (comm.Ping()) {
            observer.ShowStatus(kStatusLoadingSoftware);
            downloaded = comm.Download(software, true);
        }
        if (!downloaded) failure = comm.GetErrorText();
    }

    // What the reboot says changes nothing.
    observer.ShowStatus(kStatusRebooting);
    Pause(timings.flashRebootPauseMs);
    comm.Reboot();
    inBootloader = false;

    if (!downloaded) return Fail(kStatusFlashFailedPrefix, failure, errorText);
    observer.ShowStatus(kStatusFlashCompleted);
    observer.ShowProgress(0, kProgressScale);
    comm.ClosePort();
    return true;
}

void CFlashRun::ShowProgress(std::size_t current, std::size_t maximum)
{
    if (current == 0 || maximum == 0) return;
    const double percent = double(current) / double(maximum) * 100.0;
    const int whole = static_cast<int>(std::trunc(std::min(percent, 100.0)));
    char text[64];
    std::snprintf(text, sizeof text, kStatusFlashProgressFormat, whole);
    observer.ShowStatus(text);
    observer.ShowProgress(static_cast<std::size_t>(whole), kProgressScale);
}

}  // namespace

bool FlashSoftware(const UnitConnection& connection, const FlashOptions& options,
                   COperationObserver& observer, std::string& errorText)
{
    errorText.clear();
    return RunGuarded(errorText,
                      [&] { return CFlashRun(connection, observer).Run(options, errorText); });
}
