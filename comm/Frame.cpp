#include "comm/Frame.h"

#include <cstring>

void SetFrameHeader(std::uint8_t* frame, std::uint8_t type, std::uint8_t status, std::size_t length,
                    std::uint32_t value)
{
    frame[1] = type;
    frame[2] = status;
    frame[3] = static_cast<std::uint8_t>(length);
    frame[4] = static_cast<std::uint8_t>(length >> 8);
    for (int i = 0; i < 4; ++i) frame[5 + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::size_t SealFrame(std::uint8_t* frame)
{
    frame[0] = kFrameStart;
    const std::size_t checked = kFrameHeaderSize + FrameLengthOf(frame);
    const std::uint16_t check = ComputeChecksum(frame, checked);
    frame[checked] = static_cast<std::uint8_t>(check);
    frame[checked + 1] = static_cast<std::uint8_t>(check >> 8);
    return checked + 2;
}

bool ReadPingReply(const std::uint8_t* frame, BootloaderInfo& info)
{
    const std::size_t length = FrameLengthOf(frame);
    if (length == 0) return false;
    const auto* data = reinterpret_cast<const char*>(FrameDataOf(frame));
    info.text.assign(data, ::strnlen(data, length));
    info.blockSize = static_cast<std::uint16_t>(FrameValueOf(frame) & 0xFFFF);
    return true;
}
