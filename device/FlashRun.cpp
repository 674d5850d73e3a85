#include "device/FlashRun.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace {

void Pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

std::string SoftwareDisplayName(const std::string& path)
{
    const std::size_t separator = path.find_last_of("/\\");
    if (separator != std::string::npos && separator > 0 && separator + 2 < path.size())
        return path.substr(separator + 1);
    return path;
}

CFlashRun::CFlashRun(const CommTimings& timings) : comm(timings)
{
    comm.display = this;
}

bool CFlashRun::Fail(const char* prefix, const std::string& text)
{
    errorText = text;
    observer->ShowStatus(prefix + text);
    observer->SetProgress(0);
    comm.ClosePort();
    return false;
}

void CFlashRun::PauseUnlessAborted(int milliseconds)
{
    constexpr int kSliceMs = 20;
    for (int left = milliseconds; left > 0 && !comm.abortRequested; left -= kSliceMs)
        Pause(std::min(left, kSliceMs));
}

bool CFlashRun::Run(const FlashSettings& settings, CDeviceObserver& runObserver)
{
    observer = &runObserver;
    errorText.clear();
    comm.abortRequested = false;
    const CommTimings& timings = comm.Timings();
    observer->SetProgressRange(100);

    observer->ShowStatus(kStatusConnectingToUnit);
    if (!comm.EnterCommandMode(settings.port, settings.connectBaudRate))
        return Fail(kStatusFailedPrefix, comm.GetErrorText());
    // Stopped while connecting: the unit is still in command mode, there is nothing to undo.
    if (comm.abortRequested) return Fail(kStatusFailedPrefix, kDownloadAbortedText);
    observer->ShowStatus(kStatusInitializingFlash);
    if (!comm.InitFlash(settings.downloadBaudRate))
        return Fail(kStatusFailedPrefix, comm.GetErrorText());

    // The unit restarts into its bootloader before it can answer a ping.
    PauseUnlessAborted(timings.flashStartPauseMs);
    if (!comm.abortRequested) {
        observer->ShowStatus(kStatusLocatingTarget);
        if (!comm.Ping()) return Fail(kStatusFlashFailedPrefix, comm.GetErrorText());
    }

    // The download clears the flag as it starts; a stop asked for before must not be lost.
    bool downloaded = false;
    std::string downloadError = kDownloadAbortedText;
    if (!comm.abortRequested) {
        observer->ShowStatus(kStatusLoadingSoftware);
        downloaded = comm.Download(settings.softwarePath, true);
        if (!downloaded) downloadError = comm.GetErrorText();
    }

    // A unit left in its bootloader is of no use in the field: it is restarted even after a
    // failed download, and what the reboot says changes nothing.
    observer->ShowStatus(kStatusRebooting);
    Pause(timings.flashRebootPauseMs);
    comm.Reboot();

    if (!downloaded) return Fail(kStatusFlashFailedPrefix, downloadError);
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
