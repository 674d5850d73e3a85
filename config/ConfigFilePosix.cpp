#include "config/ConfigFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string_view>

#include "config/ConfigImage.h"
#include "config/TemporaryName.h"

namespace {

bool Fail(std::string& errorText, const std::string& text, const std::string& path, int error)
{
    errorText = text + "\n" + path + ": " + std::strerror(error);
    return false;
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path finally names. Links are followed one by one rather than with realpath,
// so that a link to a file that does not exist yet still leads to where it points.
bool FollowLinks(std::string path, std::string& target, int& error)
{
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            target = path;
            return true;
        }
        char link[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), link, sizeof link);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof link) {
            error = length < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        std::string next(link, static_cast<std::size_t>(length));
        if (!next.starts_with('/')) next.insert(0, DirectoryOf(path) + "/");
        path = std::move(next);
    }
    error = ELOOP;
    return false;
}

bool WriteAll(int fd, const std::string& bytes)
{
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

mode_t CurrentUmask()
{
    // Linux reports the mask without changing it; umask() itself can only be read by
    // setting it, which races with files other threads create at that moment.
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr)
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        (void)std::fclose(status);
        if (found) return static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Devices and pipes cannot be replaced by a rename; they take the bytes directly.
bool WriteInPlace(const std::string& image, const std::string& path, const std::string& target,
                  std::string& errorText)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Fail(errorText, kFileOpenErrorText, path, errno);
    bool written = WriteAll(fd, image);
    int error = errno;
    // Character devices and pipes cannot be synced; that is not a failure of the write.
    if (written && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        written = false;
        error = errno;
    }
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    return written || Fail(errorText, kFileWriteErrorText, path, error);
}

// After a crash the directory shows either the old or the new file, both complete, even
// when this sync fails; so a failure here is not reported.
void SyncDirectory(const std::string& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

std::string TemporaryPrefix(const std::string& target)
{
    return TemporaryNamePrefix(BaseNameOf(target));
}

// Removes the temporary files of this target whose saving process has ended: a save killed
// while its file had a name left them. Those of saves still running are left alone.
void RemoveAbandonedTemporaries(const std::string& target)
{
    const std::string prefix = TemporaryPrefix(target);
    DIR* dir = ::opendir(DirectoryOf(target).c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const unsigned long owner = TemporaryOwner(entry->d_name, prefix);
        if (owner == 0 || owner > static_cast<unsigned long>(INT_MAX)) continue;
        const auto pid = static_cast<pid_t>(owner);
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        (void)::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// Links the unnamed file into the directory under a temporary name, for the rename.
bool NameUnnamedFile(int fd, const std::string& prefix, std::string& temporary)
{
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[kTemporarySuffixLength] = {};
        if (::getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) return false;
        temporary = prefix;
        for (const unsigned char byte : random) temporary += kLetters[byte % (sizeof kLetters - 1)];
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

// Writes the image to a new file beside the target and gives it a temporary name, ready for
// the rename. The file gets its name only once it is complete and on the disk, where the
// file system takes unnamed files; elsewhere it has its name from the start. On failure
// nothing is left behind, `error` tells why and `created` whether the file could be made.
bool WriteTemporary(const std::string& image, const std::string& target,
                    const struct stat* existing, std::string& temporary, int& error, bool& created)
{
    created = false;
    const std::string directory = DirectoryOf(target);
    const std::string prefix =
        directory + "/" + TemporaryPrefix(target) + std::to_string(::getpid()) + ".";
    for (const bool unnamed : {true, false}) {
        temporary = prefix + std::string(kTemporarySuffixLength, 'X');
        const int fd = unnamed ? ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600)
                               : ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0) {
            error = errno;
            // EISDIR and EOPNOTSUPP: a file system or kernel without unnamed files.
            if (unnamed) continue;
            return false;
        }
        created = true;
        // A file root saves for someone else stays theirs. When that is not allowed the file
        // belongs to whoever saved it, as a new file would; that is no reason to fail.
        if (existing && ::fchown(fd, existing->st_uid, existing->st_gid) != 0) {
        }
        const mode_t mode = existing ? existing->st_mode & 07777 : 0666 & ~CurrentUmask();
        bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, image) && ::fsync(fd) == 0;
        error = errno;
        bool named = !unnamed;
        if (written && unnamed) {
            named = NameUnnamedFile(fd, prefix, temporary);
            // No way to name it (no /proc, say): write a named one instead.
            if (!named) {
                ::close(fd);
                continue;
            }
        }
        if (::close(fd) != 0 && written) {
            written = false;
            error = errno;
        }
        if (written) return true;
        if (named) ::unlink(temporary.c_str());
        return false;
    }
    return false;
}

}  // namespace

int OpenRegularFile(const std::string& path, std::string& reason)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int error = errno;
        reason = S_ISDIR(status.st_mode) ? std::strerror(EISDIR)
                 : status.st_mode != 0   ? kNotRegularFileReason
                                         : std::strerror(error);
        ::close(fd);
        return -1;
    }
    // Reads block as usual, on any file system.
    (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool SaveConfigFile(const UnitConfig& config, const std::string& path, std::string& errorText)
{
    std::ostringstream imageStream;
    WriteConfigImage(config, imageStream);
    const std::string image = imageStream.str();

    std::string target;
    int error = path.empty() ? ENOENT : 0;
    if (error != 0 || !FollowLinks(path, target, error))
        return Fail(errorText, kFileOpenErrorText, path, error);

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) return WriteInPlace(image, path, target, errorText);
    // A rename would replace a write-protected file as well; the user protected it for a
    // reason, so it is refused as an ordinary create would be.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(errorText, kFileOpenErrorText, path, errno);

    RemoveAbandonedTemporaries(target);
    std::string temporary;
    bool created = false;
    bool saved =
        WriteTemporary(image, target, exists ? &existing : nullptr, temporary, error, created);
    if (!created) return Fail(errorText, kFileOpenErrorText, path, error);
    if (saved && ::rename(temporary.c_str(), target.c_str()) != 0) {
        saved = false;
        error = errno;
        ::unlink(temporary.c_str());
    }
    if (!saved) {
        const std::string text = exists ? std::string(kFileWriteErrorText) + kFileKeptText
                                        : std::string(kFileWriteErrorText);
        return Fail(errorText, text, path, error);
    }
    SyncDirectory(DirectoryOf(target));
    return true;
}

bool LoadConfigFile(UnitConfig& config, const std::string& path, std::string& errorText)
{
    std::string reason;
    const int fd = OpenRegularFile(path, reason);
    if (fd < 0) {
        errorText = std::string(kFileOpenErrorText) + "\n" + path + ": " + reason;
        return false;
    }

    // The header's length is 16 bits, so the reader never judges more than this many bytes;
    // reading no further keeps a huge file from being read whole.
    std::string bytes(sizeof(ImageHeader) + INT16_MAX, '\0');
    std::size_t filled = 0;
    int readError = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) readError = errno;
        if (got <= 0) break;
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (readError != 0) return Fail(errorText, kImageUnreadableText, path, readError);

    bytes.resize(filled);
    std::istringstream in(bytes);
    return ReadConfigImage(config, in, errorText);
}
