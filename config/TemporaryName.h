// How a save names its temporary file, shared by every platform's save: "." + the target's
// name (cut to 200 characters) + "." + the saving process's id + "." + six characters.
// Hidden, short enough for the longest file name, and telling which process it belongs to,
// so that the next save can remove what a killed one left behind.
#pragma once

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kTemporarySuffixLength = 6;

// What every temporary name of the target called `targetName` starts with.
inline std::string TemporaryNamePrefix(std::string_view targetName)
{
    return "." + std::string(targetName.substr(0, 200)) + ".";
}

// The id of the process that made `fileName` as a temporary with `prefix`, or 0 when the
// name is not such a temporary.
inline unsigned long TemporaryOwner(std::string_view fileName, std::string_view prefix)
{
    if (!fileName.starts_with(prefix)) return 0;
    fileName.remove_prefix(prefix.size());
    const std::size_t dot = fileName.find('.');
    if (dot == std::string_view::npos || fileName.size() - dot - 1 != kTemporarySuffixLength)
        return 0;
    unsigned long id = 0;
    const auto [end, error] = std::from_chars(fileName.data(), fileName.data() + dot, id);
    return error == std::errc() && end == fileName.data() + dot ? id : 0;
}
