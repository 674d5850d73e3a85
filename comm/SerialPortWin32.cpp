#include "comm/SerialPort.h"

#include <windows.h>

#include <algorithm>

#include "comm/Clock.h"
#include "comm/SerialPortWin32.h"
#include "config/Win32Error.h"

namespace {

constexpr DWORD kQueueSize = 2048;
// How often Flush looks whether more input has arrived.
constexpr int kFlushPollMs = 10;

HANDLE Native(void* handle)
{
    return static_cast<HANDLE>(handle);
}

bool IsPortInUse(int error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_BUSY;
}

}  // namespace

const int kNoDeviceError = ERROR_FILE_NOT_FOUND;

std::string DescribeOpenError(const std::string& device, int error, const PortScanRoots&)
{
    // The device namespace prefix means nothing to the people reading this.
    std::string name = device;
    if (name.starts_with("\\\\.\\")) name.erase(0, 4);
    std::string text = name + ": " + SystemErrorText(static_cast<unsigned long>(error));
    if (IsPortInUse(error)) {
        text += " (another program has the port open: close it there, or choose another port)";
    } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        text +=
            " (this computer has no such port: the Device Manager lists the COM ports "
            "under Ports)";
    }
    return text;
}

DCB LineSettings(const DCB& current, int baudRate)
{
    DCB dcb = current;
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    // DTR and RTS up, as the Linux driver leaves them when a port is opened: some adapters
    // and units draw their line power from them.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return dcb;
}

COMMTIMEOUTS TimeoutsFor(unsigned milliseconds)
{
    COMMTIMEOUTS timeouts{};
    // A read of bytes that have arrived returns at once; the total time-out is the wait
    // for one byte that has not.
    timeouts.ReadTotalTimeoutConstant = milliseconds;
    timeouts.WriteTotalTimeoutConstant = milliseconds;
    if (milliseconds == 0) {
        // All zeros would mean "wait for ever"; this combination returns at once instead.
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.WriteTotalTimeoutConstant = 1;
    }
    return timeouts;
}

bool CSerialPort::Open(const std::string& path, int baudRate)
{
    Close();
    device = path;
    openError = 0;

    // No sharing: while we hold the port, every other open of it fails.
    const HANDLE opened = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        openError = static_cast<int>(::GetLastError());
        return false;
    }
    handle = opened;

    if (!Configure(baudRate)) {
        const DWORD error = ::GetLastError();
        openError = error != ERROR_SUCCESS ? static_cast<int>(error) : ERROR_INVALID_PARAMETER;
        Close();
        return false;
    }
    return true;
}

bool CSerialPort::Configure(int baudRate)
{
    if (handle == nullptr) return false;
    // The driver takes the rate as a number and refuses one it cannot set; the edges offer
    // only the unit's rates.
    if (baudRate <= 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // The queue sizes are a hint that some drivers do not take; that is no failure.
    (void)::SetupComm(Native(handle), kQueueSize, kQueueSize);

    DCB current{};
    current.DCBlength = sizeof current;
    if (!::GetCommState(Native(handle), &current)) return false;
    DCB wanted = LineSettings(current, baudRate);
    if (!::SetCommState(Native(handle), &wanted)) return false;

    // The driver may round a rate or refuse part of the change without saying so.
    DCB applied{};
    applied.DCBlength = sizeof applied;
    if (!::GetCommState(Native(handle), &applied)) return false;
    if (applied.BaudRate != wanted.BaudRate || applied.ByteSize != 8 ||
        applied.Parity != NOPARITY || applied.StopBits != ONESTOPBIT) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return SetTimeout(kConfigureTimeoutMs);
}

bool CSerialPort::SetTimeout(unsigned milliseconds)
{
    if (handle == nullptr) return false;
    COMMTIMEOUTS timeouts = TimeoutsFor(milliseconds);
    if (!::SetCommTimeouts(Native(handle), &timeouts)) return false;
    timeoutMs = milliseconds;
    return true;
}

bool CSerialPort::WriteBytes(const void* bytes, std::size_t count)
{
    if (handle == nullptr) return false;
    auto next = static_cast<const std::uint8_t*>(bytes);
    std::size_t left = count;
    // The write time-out covers one call; a write that stops short has run out of it.
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        DWORD written = 0;
        const BOOL ok = ::WriteFile(Native(handle), next, chunk, &written, nullptr);
        Report(TraceDirection::Sent, next, written);
        if (!ok || written != chunk) return false;
        next += written;
        left -= written;
    }
    return true;
}

bool CSerialPort::ReadByte(std::uint8_t& byte)
{
    if (handle == nullptr) return false;
    // Whatever has arrived is taken in one call; the bytes wait here for the next reads.
    // When nothing has, one byte is waited for, at most the time-out. (The driver's own
    // "what is there, or wait for a first byte" time-outs would do both in one call, but Wine
    // polls them coarsely: a flash under it ran at 0.79 of the line instead of 0.95.)
    if (pendingAt == pendingCount) {
        DWORD errors = 0;
        COMSTAT status{};
        const DWORD waiting =
            ::ClearCommError(Native(handle), &errors, &status) ? status.cbInQue : 0;
        const DWORD wanted = std::clamp<DWORD>(waiting, 1, sizeof pending);
        DWORD got = 0;
        if (!::ReadFile(Native(handle), pending, wanted, &got, nullptr) || got == 0) return false;
        Report(TraceDirection::Received, pending, got);
        pendingAt = 0;
        pendingCount = got;
    }
    byte = pending[pendingAt++];
    return true;
}

void CSerialPort::Flush()
{
    if (handle == nullptr) return;
    (void)::PurgeComm(Native(handle), PURGE_TXABORT | PURGE_TXCLEAR);
    pendingAt = pendingCount = 0;
    // The rest of a reply the device was still sending when an earlier run broke off would
    // end the next read early: input is thrown away until the line has been quiet for a
    // moment, but for no longer than the limit. Only bytes already waiting are read, so no
    // read waits on the port's time-outs.
    const long long deadline = NowMs() + kFlushLimitMs;
    long long quietSince = NowMs();
    std::uint8_t discarded[256];
    while (NowMs() < deadline) {
        DWORD errors = 0;
        COMSTAT status{};
        // Also clears a line error that would otherwise stop every further read.
        if (!::ClearCommError(Native(handle), &errors, &status)) return;
        if (status.cbInQue == 0) {
            if (NowMs() - quietSince >= kFlushQuietMs) return;
            Pause(kFlushPollMs);
            continue;
        }
        const DWORD wanted = std::min<DWORD>(sizeof discarded, status.cbInQue);
        DWORD got = 0;
        if (!::ReadFile(Native(handle), discarded, wanted, &got, nullptr) || got == 0) return;
        Report(TraceDirection::Received, discarded, got);
        quietSince = NowMs();
    }
}

bool CSerialPort::IsOpen() const
{
    return handle != nullptr;
}

void CSerialPort::Close()
{
    if (handle == nullptr) return;
    ::CloseHandle(Native(handle));
    handle = nullptr;
    pendingAt = pendingCount = 0;
}
