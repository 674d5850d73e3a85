#include "sim/Pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct RateSpeed {
    int rate;
    speed_t speed;
};

// Every rate a terminal can be set to by constant, so that a tool at a rate the unit does not
// use still reads as "a different rate".
constexpr RateSpeed kSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool MakeRaw(int fd, speed_t speed)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return false;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    if (speed != B0) {
        ::cfsetispeed(&settings, speed);
        ::cfsetospeed(&settings, speed);
    }
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

speed_t SpeedOf(int rate)
{
    for (const RateSpeed& entry : kSpeeds)
        if (entry.rate == rate) return entry.speed;
    return B0;
}

}  // namespace

CPty::~CPty()
{
    Close();
}

bool CPty::Open(int baudRate)
{
    Close();
    masterFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd < 0) return false;
    if (::grantpt(masterFd) != 0 || ::unlockpt(masterFd) != 0) {
        Close();
        return false;
    }
    char name[128];
    if (::ptsname_r(masterFd, name, sizeof name) != 0) {
        Close();
        return false;
    }
    slavePath = name;
    slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd < 0 || !MakeRaw(slaveFd, SpeedOf(baudRate)) || !MakeRaw(masterFd, B0)) {
        Close();
        return false;
    }
    return true;
}

void CPty::Close()
{
    if (slaveFd >= 0) ::close(slaveFd);
    if (masterFd >= 0) ::close(masterFd);
    slaveFd = masterFd = -1;
    slavePath.clear();
}

int CPty::SlaveBaudRate() const
{
    termios settings{};
    if (slaveFd < 0 || ::tcgetattr(slaveFd, &settings) != 0) return 0;
    const speed_t speed = ::cfgetospeed(&settings);
    for (const RateSpeed& entry : kSpeeds)
        if (entry.speed == speed) return entry.rate;
    return 0;
}

void CPty::ClearAbandonedExclusive()
{
    int exclusive = 0;
    if (slaveFd < 0 || ::ioctl(slaveFd, TIOCGEXCL, &exclusive) != 0 || exclusive == 0) return;
    // Our own lock succeeds only when no tool holds one; it is let go at once.
    if (::flock(slaveFd, LOCK_EX | LOCK_NB) != 0) return;
    ::ioctl(slaveFd, TIOCNXCL);
    ::flock(slaveFd, LOCK_UN);
}
