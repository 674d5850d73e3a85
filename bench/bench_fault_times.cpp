// How long each fault of a unit holds the tool, with the protocol's real waits.
//
// Each case runs against the simulated unit (or, for the command mode, a peer that sends a
// byte every second and never a prompt) in a process of its own, and the time of the step
// that meets the fault is measured there. A case still running when the limit has passed
// (the first argument, in seconds; 150 by default) is ended and shown as "> limit".
//
//   one refused block      a download of 3 blocks whose first block is refused once, less
//                          the same download without the refusal: what the refusal costs
//   silent user block      a download that needs the user block, which is never reported
//   dead unit              a download whose unit stops answering after 3 blocks
//   damaged acks           a download whose acknowledgements all have a wrong check value
//   silent ping            the ping of a bootloader that does not answer
//   dead unit, whole run   the whole flash run (pause, ping, download, reboot attempt)
//   trickling peer         command mode with a peer that sends a byte a second, no prompt
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "device/FlashRun.h"
#include "sim/Pty.h"
#include "sim/SimUnit.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string SoftwareFile(std::size_t size)
{
    char pattern[] = "/tmp/weirlink-bench-XXXXXX";
    const int fd = ::mkstemp(pattern);
    std::vector<char> bytes(size, '\x5A');
    (void)!::write(fd, bytes.data(), bytes.size());
    ::close(fd);
    return pattern;
}

// A unit in its bootloader, pinged, with the faults; the download's time in seconds.
double DownloadSeconds(const SimFaults& faults, std::size_t fileSize)
{
    UnitConfig config;
    SetDefaults(config);
    CSimUnit unit(config);
    unit.Start();
    unit.SetFaults(faults);
    CCommunications comm;
    if (!comm.EnterCommandMode(unit.DevicePath(), 57600) || !comm.InitFlash(115200) || !comm.Ping())
        return -1;
    const std::string path = SoftwareFile(fileSize);
    const Clock::time_point start = Clock::now();
    comm.Download(path, true);
    const double seconds = SecondsSince(start);
    ::unlink(path.c_str());
    return seconds;
}

double PingSeconds()
{
    UnitConfig config;
    SetDefaults(config);
    CSimUnit unit(config);
    unit.Start();
    SimFaults faults;
    faults.pingSilent = true;
    unit.SetFaults(faults);
    CCommunications comm;
    if (!comm.EnterCommandMode(unit.DevicePath(), 57600) || !comm.InitFlash(115200)) return -1;
    const Clock::time_point start = Clock::now();
    comm.Ping();
    return SecondsSince(start);
}

double WholeRunSeconds()
{
    UnitConfig config;
    SetDefaults(config);
    CSimUnit unit(config);
    unit.Start();
    SimFaults faults;
    faults.deadAfterFrames = 3;
    unit.SetFaults(faults);
    const std::string path = SoftwareFile(8 * 1024);
    struct CNobody final : COperationObserver {
    } nobody;
    std::string errorText;
    const Clock::time_point start = Clock::now();
    UnitConnection connection;
    connection.port = unit.DevicePath();
    FlashSoftware(connection, {115200, path}, nobody, errorText);
    const double seconds = SecondsSince(start);
    ::unlink(path.c_str());
    return seconds;
}

double TricklingPeerSeconds()
{
    CPty pty;
    pty.Open(57600);
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        while (!stop) {
            pollfd entry{pty.MasterFd(), POLLIN, 0};
            if (::poll(&entry, 1, 1000) > 0) {
                char ignored[256];
                (void)!::read(pty.MasterFd(), ignored, sizeof ignored);
            }
            (void)!::write(pty.MasterFd(), "x", 1);
        }
    });
    CCommunications comm;
    const Clock::time_point start = Clock::now();
    comm.EnterCommandMode(pty.SlavePath(), 57600);
    const double seconds = SecondsSince(start);
    stop = true;
    peer.join();
    return seconds;
}

// Runs the measurement in a child process; its figure, or a negative number when it was
// still running at the limit.
double Measure(const std::function<double()>& measurement, int limitSeconds)
{
    int channel[2];
    if (::pipe(channel) != 0) return -2;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const double seconds = measurement();
        (void)!::write(channel[1], &seconds, sizeof seconds);
        ::_exit(0);
    }
    ::close(channel[1]);
    pollfd entry{channel[0], POLLIN, 0};
    double seconds = -1;
    if (::poll(&entry, 1, limitSeconds * 1000) <= 0 ||
        ::read(channel[0], &seconds, sizeof seconds) != ssize_t(sizeof seconds))
        seconds = -1;
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(channel[0]);
    return seconds;
}

void Print(const char* name, double seconds, int limitSeconds)
{
    if (seconds < 0)
        std::printf("%-24s > %d s\n", name, limitSeconds);
    else
        std::printf("%-24s %8.1f s\n", name, seconds);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    const int limit = argc > 1 ? std::atoi(argv[1]) : 150;
    std::printf("Time until each fault ends the step it meets (real waits, limit %d s)\n", limit);
    SimFaults nak, userBlock, dead, damaged;
    nak.nakFrames = 1;
    userBlock.userBlockSilent = true;
    dead.deadAfterFrames = 3;
    damaged.corruptAcks = 1000;

    const double clean = Measure([] { return DownloadSeconds({}, 3000); }, limit);
    const double refused = Measure([&] { return DownloadSeconds(nak, 3000); }, limit);
    Print("one refused block", refused < 0 || clean < 0 ? -1 : refused - clean, limit);
    Print("silent user block", Measure([&] { return DownloadSeconds(userBlock, 0x40001); }, limit),
          limit);
    Print("dead unit", Measure([&] { return DownloadSeconds(dead, 8 * 1024); }, limit), limit);
    Print("damaged acks", Measure([&] { return DownloadSeconds(damaged, 3000); }, limit), limit);
    Print("silent ping", Measure(PingSeconds, limit), limit);
    Print("dead unit, whole run", Measure(WholeRunSeconds, limit), limit);
    Print("trickling peer", Measure(TricklingPeerSeconds, limit), limit);
    return 0;
}
