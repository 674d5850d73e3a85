// What the serial port is on every platform, built on the platform's ReadByte and WriteBytes.
#include "comm/SerialPort.h"

CSerialPort::~CSerialPort()
{
    Close();
}

void CSerialPort::Report(TraceDirection direction, const std::uint8_t* bytes, std::size_t count)
{
    if (trace && count > 0) trace(direction, bytes, count);
}

bool CSerialPort::WriteString(const std::string& text)
{
    return WriteBytes(text.data(), text.size());
}

bool CSerialPort::ReadUntil(std::string& text, unsigned timeout, char terminator)
{
    if (!SetTimeout(timeout)) return false;
    for (std::size_t count = 0; count < kMaxReadUntil; ++count) {
        std::uint8_t byte = 0;
        if (!ReadByte(byte)) return false;
        text += static_cast<char>(byte);
        if (static_cast<char>(byte) == terminator) return true;
    }
    return false;
}

bool CSerialPort::ReadExact(void* buffer, std::size_t count, unsigned timeout)
{
    if (!SetTimeout(timeout)) return false;
    auto bytes = static_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < count; ++i)
        if (!ReadByte(bytes[i])) return false;
    return true;
}
