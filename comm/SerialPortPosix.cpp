#include "comm/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "comm/Clock.h"
#include "comm/PortNames.h"
#include "config/SerialSettings.h"

namespace {

// The terminal's constant for each of the unit's rates, in the order of kBaudRates.
constexpr speed_t kSpeeds[] = {B1200, B2400, B4800, B9600, B19200, B38400, B57600, B115200};
static_assert(std::size(kSpeeds) == kBaudRates.size(), "one speed for each of the unit's rates");

speed_t SpeedOf(int baudRate)
{
    for (std::size_t i = 0; i < kBaudRates.size(); ++i)
        if (kBaudRates[i] == baudRate) return kSpeeds[i];
    return B0;
}

}  // namespace

SerialDriverFlags SerialDriverFlags::System()
{
#ifdef __linux__
    return {
        [](int fd, int& flags) {
            serial_struct settings{};
            if (::ioctl(fd, TIOCGSERIAL, &settings) != 0) return errno;
            flags = settings.flags;
            return 0;
        },
        [](int fd, int flags) {
            // Only the flags change: the rest is written back as the driver gave it.
            serial_struct settings{};
            if (::ioctl(fd, TIOCGSERIAL, &settings) != 0) return errno;
            settings.flags = flags;
            return ::ioctl(fd, TIOCSSERIAL, &settings) == 0 ? 0 : errno;
        },
    };
#else
    return {[](int, int&) { return ENOTTY; }, [](int, int) { return ENOTTY; }};
#endif
}

void CSerialPort::SetLowLatency()
{
#ifdef __linux__
    // A USB adapter's driver holds received bytes for up to 16 ms before passing them on,
    // which delays every reply and every acknowledgement of a download. Where the driver
    // knows no such setting (pseudo-terminals: ENOTTY), or refuses it, the port works as it is.
    int flags = 0;
    if (driverFlags.get(fd, flags) != 0 || (flags & ASYNC_LOW_LATENCY) != 0) return;
    if (driverFlags.set(fd, flags | ASYNC_LOW_LATENCY) == 0) flagsToRestore = flags;
#endif
}

bool CSerialPort::Open(const std::string& path, int baudRate)
{
    Close();
    device = path;
    openError = 0;

    const int handle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        openError = errno;
        return false;
    }
    if (!::isatty(handle)) {
        openError = ENOTTY;
        ::close(handle);
        return false;
    }
    // TIOCEXCL turns away other programs' opens, but not those of root; the lock turns away
    // every program that locks before use, this tool included, whoever runs it.
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        openError = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(handle);
        return false;
    }
    ::ioctl(handle, TIOCEXCL);
    fd = handle;
    SetLowLatency();

    if (!Configure(baudRate)) {
        openError = errno != 0 ? errno : EINVAL;
        Close();
        return false;
    }
    return true;
}

bool CSerialPort::Configure(int baudRate)
{
    if (fd < 0) return false;
    const speed_t speed = SpeedOf(baudRate);
    if (speed == B0) {
        errno = EINVAL;
        return false;
    }

    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return false;
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    // Reads wait in poll(), which can express any time-out; VMIN 1 makes an empty
    // non-blocking read report EAGAIN rather than a 0 that would look like a hang-up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0) return false;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) return false;

    // tcsetattr succeeds when any part of the change was taken; check that all of it was.
    termios applied{};
    if (::tcgetattr(fd, &applied) != 0) return false;
    if (::cfgetospeed(&applied) != speed ||
        (::cfgetispeed(&applied) != speed && ::cfgetispeed(&applied) != B0) ||
        (applied.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) != CS8) {
        errno = EINVAL;
        return false;
    }
    return SetTimeout(kConfigureTimeoutMs);
}

bool CSerialPort::SetTimeout(unsigned milliseconds)
{
    if (fd < 0) return false;
    timeoutMs = milliseconds;
    return true;
}

bool CSerialPort::WaitFor(short events, long long deadlineMs)
{
    for (;;) {
        const long long left = std::max(0LL, deadlineMs - NowMs());
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, 3600000LL)));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (ready == 0) {
            if (left == 0) return false;
            continue;
        }
        // A hang-up with data still waiting lets the data be read first.
        if (entry.revents & events) return true;
        return false;
    }
}

bool CSerialPort::WriteBytes(const void* bytes, std::size_t count)
{
    if (fd < 0) return false;
    const long long deadline = NowMs() + timeoutMs;
    auto next = static_cast<const std::uint8_t*>(bytes);
    std::size_t left = count;
    while (left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written > 0) {
            Report(TraceDirection::Sent, next, static_cast<std::size_t>(written));
            next += written;
            left -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno == EAGAIN) {
            if (!WaitFor(POLLOUT, deadline)) return false;
            continue;
        }
        return false;
    }
    return true;
}

bool CSerialPort::ReadByte(std::uint8_t& byte)
{
    if (fd < 0) return false;
    // Whatever has arrived is taken in one call; the bytes wait here for the next reads. A
    // byte that is here has arrived, so the time-out still limits only the wait for a byte
    // that has not.
    if (pendingAt == pendingCount) {
        const long long deadline = NowMs() + timeoutMs;
        for (;;) {
            if (!WaitFor(POLLIN, deadline)) return false;
            const ssize_t got = ::read(fd, pending, sizeof pending);
            if (got > 0) {
                Report(TraceDirection::Received, pending, static_cast<std::size_t>(got));
                pendingAt = 0;
                pendingCount = static_cast<std::size_t>(got);
                break;
            }
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            return false;  // hang-up or a device error
        }
    }
    byte = pending[pendingAt++];
    return true;
}

void CSerialPort::Flush()
{
    if (fd < 0) return;
    ::tcflush(fd, TCOFLUSH);
    pendingAt = pendingCount = 0;
    // The rest of a reply the device was still sending when an earlier run broke off would
    // end the next read early: input is thrown away until the line has been quiet for a
    // moment, but for no longer than the limit.
    const long long deadline = NowMs() + kFlushLimitMs;
    std::uint8_t discarded[256];
    for (long long left = kFlushLimitMs; left > 0; left = deadline - NowMs()) {
        pollfd entry{fd, POLLIN, 0};
        const int ready =
            ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, kFlushQuietMs)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (entry.revents & POLLIN) == 0) return;
        const ssize_t got = ::read(fd, discarded, sizeof discarded);
        if (got > 0) {
            Report(TraceDirection::Received, discarded, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            return;
        }
    }
}

bool CSerialPort::IsOpen() const
{
    return fd >= 0;
}

void CSerialPort::Close()
{
    if (fd < 0) return;
    if (flagsToRestore) driverFlags.set(fd, *flagsToRestore);
    flagsToRestore.reset();
    // The exclusive flag belongs to the terminal, not to this descriptor: a pseudo-terminal
    // that someone else keeps open would otherwise stay barred after we are gone.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);  // releases the lock as well
    fd = -1;
    pendingAt = pendingCount = 0;
}
