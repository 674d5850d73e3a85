// .cfg files on Windows. A save writes a temporary file beside the target, flushes it to the
// disk and only then puts it in the target's place, so the previous file survives any
// failure on the way. A temporary file left by a save that was killed is removed by the
// next save of the same target.
#include "config/ConfigFile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string_view>

#include "config/ConfigImage.h"
#include "config/TemporaryName.h"
#include "config/Win32Error.h"

namespace {

// What a replaced file keeps besides its permissions; read-only files are never replaced.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool Fail(std::string& errorText, const std::string& text, const std::string& path, DWORD error)
{
    errorText = text + "\n" + path + ": " + SystemErrorText(error);
    return false;
}

// Where the file name of a path begins: after its folder ("C:\\a\\", "C:", "..\\"), if any.
std::size_t NameStart(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? 0 : separator + 1;
}

bool WriteAll(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return false;
    if (written != bytes.size()) {
        ::SetLastError(ERROR_HANDLE_DISK_FULL);
        return false;
    }
    return true;
}

// Devices ("NUL", "COM1") cannot be replaced; they take the bytes directly.
bool WriteInPlace(const std::string& image, const std::string& path, std::string& errorText)
{
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(errorText, kFileOpenErrorText, path, ::GetLastError());
    const bool written = WriteAll(file, image);
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    return written || Fail(errorText, kFileWriteErrorText, path, error);
}

bool IsDevice(const std::string& path)
{
    const HANDLE file = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool device = ::GetFileType(file) == FILE_TYPE_CHAR;
    ::CloseHandle(file);
    return device;
}

// Opening a device or a pipe does not wait on Windows, but reading one could, for ever:
// only files on a disk are read.
HANDLE OpenRegularHandle(const std::string& path, std::string& reason)
{
    const HANDLE file =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = SystemErrorText(::GetLastError());
        return INVALID_HANDLE_VALUE;
    }
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        reason = kNotRegularFileReason;
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// Beside the target (a move cannot cross volumes).
std::string TemporaryPrefix(const std::string& target)
{
    const std::size_t start = NameStart(target);
    return target.substr(0, start) + TemporaryNamePrefix(std::string_view(target).substr(start));
}

bool ProcessHasEnded(DWORD id)
{
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    // Any other refusal (access denied) means someone's process with that id is there.
    if (process == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool ended = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    ::CloseHandle(process);
    return ended;
}

// Removes the temporary files of this target whose saving process has ended. Those of saves
// still running are left alone.
void RemoveAbandonedTemporaries(const std::string& target)
{
    const std::string prefix = TemporaryPrefix(target);
    const std::size_t folderLength = NameStart(target);
    const std::string namePrefix = prefix.substr(folderLength);
    WIN32_FIND_DATAA found{};
    const HANDLE search = ::FindFirstFileA((prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        // The pattern also matches short 8.3 names; only the long name counts.
        const unsigned long id = TemporaryOwner(found.cFileName, namePrefix);
        if (id == 0 || id > MAXDWORD) continue;
        if (ProcessHasEnded(static_cast<DWORD>(id)))
            (void)::DeleteFileA((target.substr(0, folderLength) + found.cFileName).c_str());
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

// Creates a new, empty temporary file for the target and opens it for writing.
HANDLE CreateTemporary(const std::string& target, std::string& temporary)
{
    static std::atomic<unsigned> created{0};
    const std::string prefix =
        TemporaryPrefix(target) + std::to_string(::GetCurrentProcessId()) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[kTemporarySuffixLength + 1];
        std::snprintf(suffix, sizeof suffix, "%06x",
                      static_cast<unsigned>((created++ ^ ::GetTickCount()) & 0xFFFFFFu));
        temporary = prefix + suffix;
        const HANDLE file = ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

int OpenRegularFile(const std::string& path, std::string& reason)
{
    const HANDLE file = OpenRegularHandle(path, reason);
    if (file == INVALID_HANDLE_VALUE) return -1;
    const int fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(file);
        reason = SystemErrorText(ERROR_TOO_MANY_OPEN_FILES);
    }
    return fd;
}

bool SaveConfigFile(const UnitConfig& config, const std::string& path, std::string& errorText)
{
    std::ostringstream imageStream;
    WriteConfigImage(config, imageStream);
    const std::string image = imageStream.str();

    if (path.empty()) return Fail(errorText, kFileOpenErrorText, path, ERROR_PATH_NOT_FOUND);
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Fail(errorText, kFileOpenErrorText, path, ERROR_ACCESS_DENIED);
    // A rename would replace a write-protected file as well; the user protected it for a
    // reason, so it is refused as an ordinary create would be.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return Fail(errorText, kFileOpenErrorText, path, ERROR_ACCESS_DENIED);
    if (exists && IsDevice(path)) return WriteInPlace(image, path, errorText);

    RemoveAbandonedTemporaries(path);
    std::string temporary;
    const HANDLE file = CreateTemporary(path, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(errorText, kFileOpenErrorText, path, ::GetLastError());
    bool saved = WriteAll(file, image) && ::FlushFileBuffers(file);
    DWORD error = ::GetLastError();
    ::CloseHandle(file);
    // ReplaceFile keeps the old file's attributes and permissions for the new one.
    if (saved && exists &&
        !::ReplaceFileA(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                        nullptr, nullptr)) {
        saved = false;
        error = ::GetLastError();
    }
    if (saved && !exists &&
        !::MoveFileExA(temporary.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        saved = false;
        error = ::GetLastError();
    }
    // Not every implementation of ReplaceFile carries the attributes over (Wine's does not).
    if (saved && exists) ::SetFileAttributesA(path.c_str(), attributes & kKeptAttributes);
    if (!saved) {
        ::DeleteFileA(temporary.c_str());
        const std::string text = exists ? std::string(kFileWriteErrorText) + kFileKeptText
                                        : std::string(kFileWriteErrorText);
        return Fail(errorText, text, path, error);
    }
    return true;
}

bool LoadConfigFile(UnitConfig& config, const std::string& path, std::string& errorText)
{
    std::string reason;
    const HANDLE file = OpenRegularHandle(path, reason);
    if (file == INVALID_HANDLE_VALUE) {
        errorText = std::string(kFileOpenErrorText) + "\n" + path + ": " + reason;
        return false;
    }

    // The header's length is 16 bits, so the reader never judges more than this many bytes;
    // reading no further keeps a huge file from being read whole.
    std::string bytes(sizeof(ImageHeader) + INT16_MAX, '\0');
    std::size_t filled = 0;
    DWORD readError = ERROR_SUCCESS;
    while (filled < bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file, bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled),
                        &got, nullptr)) {
            readError = ::GetLastError();
            break;
        }
        if (got == 0) break;
        filled += got;
    }
    ::CloseHandle(file);
    if (readError != ERROR_SUCCESS) return Fail(errorText, kImageUnreadableText, path, readError);

    bytes.resize(filled);
    std::istringstream in(bytes);
    return ReadConfigImage(config, in, errorText);
}
