// Flashing new unit software: the file read and checked whole, command mode at the connect
// rate, the switch into the bootloader at the download rate, a pause while the unit
// restarts into it, ping, the download in acknowledged blocks, and a reboot whatever the
// ping's or the download's result.
#pragma once

#include <atomic>
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
    // With stop, the caller's flag stops a run (see Comm()).
    explicit CFlashRun(const CommTimings& timings = {}, std::atomic<bool>* stop = nullptr);

    // Runs the whole flash and tells the observer every stage. True when the unit took the
    // whole file ("Flash completed successfully..."). The port is closed at the end. A file
    // that cannot be read whole is refused before the port is opened.
    bool Run(const FlashSettings& settings, CDeviceObserver& observer);

    // The failed step's text of the last run, without the status line's prefix; empty after
    // a run that succeeded.
    const std::string& GetErrorText() const { return errorText; }

    // For a trace of the bytes, and for a caller that wants to stop a run: setting
    // Comm().abortRequested (from any thread, or a signal handler) stops the run at its next
    // check, with the status "Download aborted at user request". Before the unit is in its
    // bootloader the run just ends; once it is there, what is left of the ping and the
    // download is skipped and the unit is rebooted. The flag is left as it is when a run
    // starts, so a stop asked for just before is not lost: the caller clears it.
    CCommunications& Comm() { return comm; }

private:
    void UpdateProgress() override;
    bool RunSteps(const FlashSettings& settings);
    bool Fail(const char* prefix, const std::string& text);

    CCommunications comm;
    CDeviceObserver* observer = nullptr;
    std::string errorText;
    bool inBootloader = false;  // "SX" was answered and no reboot has been sent since
};
