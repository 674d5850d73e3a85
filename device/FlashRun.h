// Flashing new unit software: the file read and checked whole, command mode at the connect
// rate, the switch into the bootloader at the download rate, a pause while the unit
// restarts into it, ping, the download in acknowledged blocks, and a reboot whatever the
// ping's or the download's result.
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

// What a flash loads, and how fast; the connection's rate is the one it connects at.
struct FlashOptions {
    int downloadBaudRate = 57600;
    std::string softwarePath;
};

// Runs the whole flash and tells the observer every stage, the download's progress as
// percent of the file (0 to 100, back to 0 when the run ends). True when the unit took the
// whole file ("Flash completed successfully..."); otherwise errorText is the failed step's
// text without the status line's prefix. A file that cannot be read whole is refused before
// the port is opened.
//
// A stop the observer asks for ends the run at its next check with "Download aborted at
// user request". Before the unit is in its bootloader the run just ends; once it is there,
// what is left of the ping and the download is skipped and the unit is rebooted.
bool FlashSoftware(const UnitConnection& connection, const FlashOptions& options,
                   COperationObserver& observer, std::string& errorText);
