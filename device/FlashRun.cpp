#include "device/FlashRun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

std::string SoftwareDisplayName(const std::string& path)
{
    const std::size_t separator = path.find_last_of("/\\");
    if (separator != std::string::npos && separator > 0 && separator + 2 < path.size())
        return path.substr(separator + 1);
    return path;
}

CFlashRun::CFlashRun(const CommTimings& timings, std::atomic<bool>* stop) : comm(timings, stop)
{
    comm.display = this;
}

bool CFlashRun::Fail(const char* prefix, const std::string& text)
{
    // A run stopped on request says so, whichever step it was at.
    const bool stopped = comm.abortRequested;
    errorText = stopped ? kDownloadAbortedText : text;
    observer->ShowStatus(stopped ? errorText : prefix + text);
    observer->SetProgress(0);
    comm.ClosePort();
    return false;
}

bool CFlashRun::Run(const FlashSettings& settings, CDeviceObserver& runObserver)
{
    observer = &runObserver;
    errorText.clear();
    inBootloader = false;
    try {
        return RunSteps(settings);
    } catch (...) {
        // Whatever went wrong, a unit in its bootloader is restarted, and the run fails
        // like any other.
        errorText = CurrentExceptionText();
        try {
            if (inBootloader) comm.Reboot();
            observer->ShowStatus((inBootloader ? kStatusFlashFailedPrefix : kStatusFailedPrefix) +
                                 errorText);
            observer->SetProgress(0);
        } catch (...) {
        }
        comm.ClosePort();
        return false;
    }
}

bool CFlashRun::RunSteps(const FlashSettings& settings)
{
    const CommTimings& timings = comm.Timings();
    observer->SetProgressRange(100);

    // The whole file is read and checked before the unit is touched: no unit is left in its
    // bootloader for want of a file, nor gets part of one as if it were all of it.
    std::vector<std::uint8_t> software;
    std::string fileError;
    if (!ReadSoftwareFile(settings.softwarePath, software, fileError))
        return Fail(kStatusFailedPrefix, fileError);

    observer->ShowStatus(kStatusConnectingToUnit);
    // Stopped while connecting: the unit is still in command mode, there is nothing to undo.
    if (!comm.EnterCommandMode(settings.port, settings.connectBaudRate) || comm.abortRequested)
        return Fail(kStatusFailedPrefix, comm.GetErrorText());
    observer->ShowStatus(kStatusInitializingFlash);
    if (!comm.InitFlash(settings.downloadBaudRate))
        return Fail(kStatusFailedPrefix, comm.GetErrorText());
    inBootloader = true;

    // From here every way out restarts the unit: one left in its bootloader is of no use in
    // the field. First it restarts into the bootloader, before it can answer a ping.
    bool downloaded = false;
    std::string failure;
    PauseUnlessStopped(timings.flashStartPauseMs, comm.abortRequested);
    if (!comm.abortRequested) {
        observer->ShowStatus(kStatusLocatingTarget);
        if (comm.Ping()) {
            observer->ShowStatus(kStatusLoadingSoftware);
            downloaded = comm.Download(software, true);
        }
        if (!downloaded) failure = comm.GetErrorText();
    }

    // What the reboot says changes nothing.
    observer->ShowStatus(kStatusRebooting);
    Pause(timings.flashRebootPauseMs);
    comm.Reboot();
    inBootloader = false;

    if (!downloaded) return Fail(kStatusFlashFailedPrefix, failure);
    observer->ShowStatus(kStatusFlashCompleted);
    observer->SetProgress(0);
    comm.ClosePort();
    return true;
}

void CFlashRun::UpdateProgress()
{
    const double percent = comm.percentComplete;
    if (!(percent > 0.0)) return;
    const int whole = static_cast<int>(std::trunc(std::min(percent, 100.0)));
    char text[64];
    std::snprintf(text, sizeof text, kStatusFlashProgressFormat, whole);
    observer->ShowStatus(text);
    observer->SetProgress(whole);
}
