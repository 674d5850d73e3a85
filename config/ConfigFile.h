// .cfg files on disk. Saving never destroys the previous file: the image goes to a
// temporary file beside the target, is flushed to the disk and only then renamed over it.
// The temporary file has no name while it is written, where the file system allows, so a
// save that is killed leaves nothing behind; one left by a killed save elsewhere is removed
// by the next save of the same target.
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

// The reason given for a path that names a pipe, a device or a socket.
inline constexpr char kNotRegularFileReason[] = "not a regular file";

// Opens a regular file for reading. Pipes and devices are refused without waiting in
// open(): a pipe with no writer, or a line without a carrier, would hold the caller there
// for ever. A folder gives the system's "Is a directory". Returns the descriptor, or -1
// with the reason in the system's words (or kNotRegularFileReason).
int OpenRegularFile(const std::string& path, std::string& reason);

// Writes the record's image to path. A symbolic link is followed and the file it leads to
// is replaced, keeping its permission bits; an existing device or pipe is written directly.
// On failure returns false, leaves any existing regular file at path as it was and sets
// errorText to a text for the user, then on a second line the path and the operating
// system's reason.
bool SaveConfigFile(const UnitConfig& config, const std::string& path, std::string& errorText);

// Reads a .cfg file into the record. A file that cannot be opened, or is no regular file,
// gives kFileOpenErrorText (with the path and the reason on a second line); a rejected image
// gives the reader's text. The record changes only on success.
bool LoadConfigFile(UnitConfig& config, const std::string& path, std::string& errorText);
