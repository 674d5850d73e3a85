// .cfg files on disk. Saving never destroys the previous file: the image goes to a
// temporary file beside the target, is flushed to the disk and only then renamed over it.
#pragma once

#include <string>

#include "config/UnitConfig.h"

// Shown when the file cannot be opened (Open) or created (Save).
inline constexpr char kFileOpenErrorText[] =
    "Error, could not open the file for writing.  Check file is not write protected or in use!";
// Shown when the image could not be written completely or flushed to the disk.
inline constexpr char kFileWriteErrorText[] = "Error, could not write the file.";
// Added when a file was already there: the safe save leaves it as it was.
inline constexpr char kFileKeptText[] = "  The previous file is unchanged.";

// Writes the record's image to path. A symbolic link is followed and the file it leads to
// is replaced, keeping its permission bits; an existing device or pipe is written directly.
// On failure returns false, leaves any existing regular file at path as it was and sets
// errorText to a text for the user, then on a second line the path and the operating
// system's reason.
bool SaveConfigFile(const UnitConfig& config, const std::string& path, std::string& errorText);

// Reads a .cfg file into the record. A file that cannot be opened gives kFileOpenErrorText
// (with the path and the operating system's reason on a second line); a rejected image gives
// the reader's text. The record changes only on success.
bool LoadConfigFile(UnitConfig& config, const std::string& path, std::string& errorText);
