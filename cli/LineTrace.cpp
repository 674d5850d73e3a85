#include "cli/LineTrace.h"

#include <string>

void CLineTrace::Add(TraceDirection byteDirection, const std::uint8_t* bytes, std::size_t count)
{
    const Clock::time_point now = Clock::now();
    if (!pending.empty() && (byteDirection != direction || now - lastByte > kBurstGap)) Flush();
    direction = byteDirection;
    lastByte = now;
    for (std::size_t i = 0; i < count; ++i) {
        pending.push_back(bytes[i]);
        if (pending.size() == kBytesPerLine) Flush();
    }
}

void CLineTrace::Flush()
{
    if (pending.empty()) return;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line = direction == TraceDirection::Sent ? "> " : "< ";
    std::string text;
    for (const std::uint8_t byte : pending) {
        line += kHex[byte >> 4];
        line += kHex[byte & 0x0F];
        line += ' ';
        text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }
    // The text column lines up whatever the line's length.
    line.append((kBytesPerLine - pending.size()) * 3 + 1, ' ');
    line += text;
    line += '\n';
    std::fputs(line.c_str(), out);
    pending.clear();
}

SerialTrace CLineTrace::Function()
{
    return [this](TraceDirection byteDirection, const std::uint8_t* bytes, std::size_t count) {
        Add(byteDirection, bytes, count);
    };
}
