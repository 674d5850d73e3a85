// Flashing new unit software: command mode at the connect rate, the switch into the
// bootloader at the download rate, a pause while the unit restarts into it, ping, the
// download in acknowledged blocks, and a reboot whatever the download's result.
#pragma once

#include <string>

#include "device/DeviceOperation.h"

inline constexpr char kStatusReadyToFlashPrefix[] = "Ready to flash ";
inline constexpr char kStatusConnectingToUnit[] = "Connecting to the unit...";
inline constexpr char kStatusFailedPrefix[] = "Failed: ";
inline constexpr char kStatusInitializingFlash[] = "Initializing the flash process...";
inline constexpr char kStatusLocatingTarget[] = "Locating the download target...";
inline constexpr char kStatusLoadingSoftware[] = "Loading the software file...";
inline constexpr char kStatusFlashProgressFormat[] = "Flash in progress, %d %% complete";
inline constexpr char kStatusRebooting[] = "Rebooting the unit...";
inline constexpr char kStatusFlashCompleted[] = "Flash completed successfully...";
// Followed directly, without a blank, by the failed step's text.
inline constexpr char kStatusFlashFailedPrefix[] = "Error, flash failed:";

// The file's name as the status line shows it: what follows the last '/' or '\', when at
// least two characters follow it; otherwise the whole path.
std::string SoftwareDisplayName(const std::string& path);

struct FlashSettings {
    std::string port;  // a device path, or "COM n"
    int connectBaudRate = 57600;
    int downloadBaudRate = 57600;
    std::string softwarePath;
};

// One flash run at a time; the same object serves every run of a dialog. The progress bar
// runs from 0 to 100 and goes back to 0 when a run ends.
class CFlashRun final : private CFlashDisplay {
public:
    explicit CFlashRun(const CommTimings& timings = {});

    // Runs the whole flash and tells the observer every stage. True when the unit took the
    // whole file ("Flash completed successfully..."). The port is closed at the end.
    bool Run(const FlashSettings& settings, CDeviceObserver& observer);

    // The failed step's text of the last run, without the status line's prefix; empty after
    // a run that succeeded.
    const std::string& GetErrorText() const { return errorText; }

    // For a trace of the bytes, and for a caller that wants to stop a run: setting
    // Comm().abortRequested (from any thread, or a signal handler) stops a download at its
    // next check. Set before the download has begun, it ends the run before the unit enters
    // its bootloader or, once it is there, skips the download; the unit is rebooted whenever
    // it was put into its bootloader. Each run starts with the flag cleared.
    CCommunications& Comm() { return comm; }

private:
    void UpdateProgress() override;
    bool Fail(const char* prefix, const std::string& text);
    // Sleeps, but wakes early when an abort is asked for.
    void PauseUnlessAborted(int milliseconds);

    CCommunications comm;
    CDeviceObserver* observer = nullptr;
    std::string errorText;
};
