#include "config/ConfigFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "config/ConfigImage.h"

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

}  // namespace

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

    // Hidden, beside the target (a rename cannot cross file systems), and short enough for
    // the longest file name.
    std::string temporary =
        DirectoryOf(target) + "/." + BaseNameOf(target).substr(0, 200) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return Fail(errorText, kFileOpenErrorText, path, errno);

    // A file root saves for someone else stays theirs. When that is not allowed the file
    // belongs to whoever saved it, as a new file would; that is no reason to fail.
    if (exists && ::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
    }
    const mode_t mode = exists ? existing.st_mode & 07777 : 0666 & ~CurrentUmask();
    bool saved = ::fchmod(fd, mode) == 0 && WriteAll(fd, image) && ::fsync(fd) == 0;
    error = errno;
    if (::close(fd) != 0 && saved) {
        saved = false;
        error = errno;
    }
    if (saved && ::rename(temporary.c_str(), target.c_str()) != 0) {
        saved = false;
        error = errno;
    }
    if (!saved) {
        ::unlink(temporary.c_str());
        const std::string text = exists ? std::string(kFileWriteErrorText) + kFileKeptText
                                        : std::string(kFileWriteErrorText);
        return Fail(errorText, text, path, error);
    }
    SyncDirectory(DirectoryOf(target));
    return true;
}

bool LoadConfigFile(UnitConfig& config, const std::string& path, std::string& errorText)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail(errorText, kFileOpenErrorText, path, errno);
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(fd);
        return Fail(errorText, kFileOpenErrorText, path, EISDIR);
    }

    // The header's length is 16 bits, so the reader never judges more than this many bytes;
    // reading no further keeps a huge file or an endless device from being read whole.
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
