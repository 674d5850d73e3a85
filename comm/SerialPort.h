// One serial device with blocking, per-byte timed primitives. Every read asks for one byte
// and waits at most the time-out in force, so a time-out limits the gap between two bytes,
// never the length of a whole message. Operations report only success or failure: the
// protocol layer says in words what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "comm/PortNames.h"

enum class TraceDirection { Sent, Received };

// Called with every byte written or read while set; formatting is the caller's business.
using SerialTrace =
    std::function<void(TraceDirection direction, const std::uint8_t* bytes, std::size_t count)>;

#ifndef _WIN32
// The driver's serial flags (TIOCGSERIAL / TIOCSSERIAL), through which the port asks a USB
// adapter to pass on each byte at once. Tests put in their own. Each returns 0 or an errno
// value; drivers without these settings (pseudo-terminals) give ENOTTY.
struct SerialDriverFlags {
    std::function<int(int fd, int& flags)> get;
    std::function<int(int fd, int flags)> set;
    static SerialDriverFlags System();
};
#endif

class CSerialPort {
public:
    // The time-out in force after every Open and Configure.
    static constexpr unsigned kConfigureTimeoutMs = 5000;
    // Flush drains until the line has been quiet this long, and gives up after the limit,
    // so that a device that keeps sending cannot hold the tool.
    static constexpr int kFlushQuietMs = 100;
    static constexpr int kFlushLimitMs = 2000;
    // ReadUntil gives up after this many bytes without the terminator: a device streaming
    // data with no prompt would otherwise keep the read going for ever.
    static constexpr std::size_t kMaxReadUntil = 65536;

    CSerialPort() = default;
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens a device ("/dev/ttyUSB0", "\\.\COM3") for exclusive use and configures it: raw
    // 8N1 at the rate, no flow control, time-out 5000 ms. A device that another program
    // holds fails. After a failure GetOpenError tells the operating system's reason.
    bool Open(const std::string& device, int baudRate);
    // Sets the line to the rate (one of the unit's eight, 1200 to 115200) and the time-out to
    // 5000 ms. The port stays open; bytes already received are kept.
    bool Configure(int baudRate);
    // One time-out for each byte read and for each whole write.
    bool SetTimeout(unsigned milliseconds);
    unsigned GetTimeout() const { return timeoutMs; }

    // Write everything or fail; a write that cannot finish within the time-out fails.
    bool WriteString(const std::string& text);
    bool WriteBytes(const void* bytes, std::size_t count);

    // Waits up to the time-out for one byte.
    bool ReadByte(std::uint8_t& byte);
    // Appends bytes to text (whatever it holds stays in front) until the terminator has been
    // appended. Each byte may take up to timeoutMs, which stays in force afterwards.
    bool ReadUntil(std::string& text, unsigned timeoutMs, char terminator);
    // Fills count bytes; on failure the bytes already received stay in the buffer.
    bool ReadExact(void* buffer, std::size_t count, unsigned timeoutMs);

    // Discards pending output and drains the input until it has been quiet for
    // kFlushQuietMs, for at most kFlushLimitMs.
    void Flush();
    // Harmless when closed.
    void Close();
    bool IsOpen() const;

    // The operating system's code for the last failed Open (errno; on Windows the code of
    // GetLastError), 0 after a successful one.
    int GetOpenError() const { return openError; }
    // The device of the last Open, successful or not.
    const std::string& GetDevice() const { return device; }

    void SetTrace(SerialTrace traceFunction) { trace = std::move(traceFunction); }

#ifndef _WIN32
    // For the ports opened from now on.
    void SetDriverFlags(SerialDriverFlags flags)
    {
        driverFlags = std::move(flags);
    }
#endif

private:
    void Report(TraceDirection direction, const std::uint8_t* bytes, std::size_t count);

#ifdef _WIN32
    void* handle = nullptr;  // the device's HANDLE; null when closed
#else
    bool WaitFor(short events, long long deadlineMs);
    void SetLowLatency();
    int fd = -1;
    SerialDriverFlags driverFlags = SerialDriverFlags::System();
    // The driver's flags from before Open set low latency; they go back at Close, because
    // the driver keeps them for whoever opens the device next.
    std::optional<int> flagsToRestore;
#endif
    // Bytes read from the device that ReadByte has not handed out yet: one system call takes
    // all that has arrived, instead of one call per byte. Emptied by Flush and Close, kept
    // by Configure (bytes already received are kept).
    std::uint8_t pending[1536];
    std::size_t pendingAt = 0;
    std::size_t pendingCount = 0;
    unsigned timeoutMs = kConfigureTimeoutMs;
    int openError = 0;
    std::string device;
    SerialTrace trace;
};

// The open error of a port name that leads to no device at all (ENODEV; on Windows, the
// code for a file that cannot be found).
extern const int kNoDeviceError;

// "<device>: <reason>", with advice where the reason has a usual remedy (missing group
// membership), the program holding the port where it can be seen, and the system services
// known to take adapters away (a modem manager probing a CDC-ACM device, a braille display
// driver claiming CH340 and CP210x adapters). Shown on the line after the protocol's own text.
std::string DescribeOpenError(const std::string& device, int error,
                              const PortScanRoots& roots = PortScanRoots());
