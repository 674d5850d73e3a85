// Reading a unit's configuration into the record, and programming a unit with the record.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "config/SettingList.h"
#include "config/UnitConfig.h"
#include "device/DeviceOperation.h"

inline constexpr char kStatusReading[] = "Reading configuration from device...";
inline constexpr char kStatusLoading[] = "Loading settings...";
inline constexpr char kStatusLoaded[] = "Settings loaded successfully";
inline constexpr char kStatusSendingPrefix[] = "Sending ";
inline constexpr char kStatusRetryingPrefix[] = "Retrying ";
inline constexpr char kStatusApplying[] = "Applying hardware changes...";
inline constexpr char kStatusProgrammed[] = "Unit successfully programmed";

// Asks the unit for its configuration image and loads it into config. True only when the
// image passed every check and replaced the record; otherwise the record is untouched and
// errorText tells the failed step.
bool ReadConfiguration(const UnitConnection& connection, UnitConfig& config,
                       COperationObserver& observer, std::string& errorText);

struct SendOptions {
    bool synchronizeTime = false;  // "ST" with the computer's local time, first of all lines
    bool zeroTotalizer = false;    // "SZ 1" to "SZ 3" before the configuration lines
};

// The lines a send carries after the optional time line: the totalizer zeroing, then the
// record's configuration lines from "IP" to "SS".
std::vector<std::string> BuildSendLines(const UnitConfig& config, bool zeroTotalizer);

// "ST YYYY MM DD HH MM SS" for a local time.
std::string TimeLine(const std::tm& localTime);

// Programs the unit with the record line by line, retrying a failed line once, then makes
// it apply its hardware settings and follows its configuration port to the stored rate.
// The first line that fails twice ends the send: nothing after it is sent.
bool SendConfiguration(const UnitConnection& connection, const UnitConfig& config,
                       const SendOptions& options, COperationObserver& observer,
                       std::string& errorText);

// Followed by the number of differing settings and " settings".
inline constexpr char kStatusDiffersPrefix[] = "The unit's configuration differs from the file in ";

// After a send: connects again at the rate the send stored for the unit's configuration
// port, reads the configuration back as ReadConfiguration does, and compares every setting
// the command lines carry (the unit's own, such as its channel count, are not compared).
// False when the read fails (errorText tells its step) or when settings differ: changes
// lists them, with the file's values first, and errorText tells how many.
bool VerifyConfiguration(const UnitConnection& connection, const UnitConfig& sent,
                         COperationObserver& observer, std::vector<SettingChange>& changes,
                         std::string& errorText);
