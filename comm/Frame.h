// The bootloader's frames, in both directions, little-endian:
//   0x7E, type, status, data length n (u16), value (u32), n data bytes, check value (u16)
// The check value is ComputeChecksum over everything before it, start byte included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/Checksum.h"

inline constexpr std::uint8_t kFrameStart = 0x7E;
inline constexpr std::size_t kFrameHeaderSize = 9;
inline constexpr std::size_t kFrameMaxData = 1492;
inline constexpr std::size_t kFrameBufferSize = 1504;
static_assert(kFrameHeaderSize + kFrameMaxData + 2 < kFrameBufferSize);

enum FrameType : std::uint8_t {
    FramePing = 1,
    FrameData = 2,
    FrameDataAlternate = 4,  // data blocks of a download that keeps the unit's user block
    FrameReboot = 6,
    FrameUserBlock = 9,  // query of the user block's start address
};

// Status of a frame that acknowledges a data block.
inline constexpr std::uint8_t kFrameAcknowledge = 6;

using FrameBuffer = std::uint8_t[kFrameBufferSize];

inline std::uint8_t FrameTypeOf(const std::uint8_t* frame)
{
    return frame[1];
}
inline std::uint8_t FrameStatusOf(const std::uint8_t* frame)
{
    return frame[2];
}
inline std::size_t FrameLengthOf(const std::uint8_t* frame)
{
    return std::size_t(frame[3]) | std::size_t(frame[4]) << 8;
}
inline std::uint32_t FrameValueOf(const std::uint8_t* frame)
{
    return std::uint32_t(frame[5]) | std::uint32_t(frame[6]) << 8 | std::uint32_t(frame[7]) << 16 |
           std::uint32_t(frame[8]) << 24;
}
inline std::uint8_t* FrameDataOf(std::uint8_t* frame)
{
    return frame + kFrameHeaderSize;
}
inline const std::uint8_t* FrameDataOf(const std::uint8_t* frame)
{
    return frame + kFrameHeaderSize;
}

// Fills in type, status, length and value; the data goes to FrameDataOf(frame).
void SetFrameHeader(std::uint8_t* frame, std::uint8_t type, std::uint8_t status, std::size_t length,
                    std::uint32_t value);

// Puts the start byte and the check value in place; returns the frame's size in bytes.
std::size_t SealFrame(std::uint8_t* frame);

// Reads one frame through readExact(bytes, count) -> bool. A frame that is not one (a wrong
// start byte, which is consumed, a data length above kFrameMaxData, a missing byte, a wrong
// check value) gives false; the buffer is never written past its end.
template <class ReadExact>
bool ReadFrame(ReadExact&& readExact, FrameBuffer& frame)
{
    if (!readExact(frame, 1) || frame[0] != kFrameStart) return false;
    if (!readExact(frame + 1, kFrameHeaderSize - 1)) return false;
    const std::size_t length = FrameLengthOf(frame);
    if (length > kFrameMaxData) return false;
    if (!readExact(frame + kFrameHeaderSize, length + 2)) return false;
    const std::size_t checked = kFrameHeaderSize + length;
    const std::uint16_t received = std::uint16_t(frame[checked] | frame[checked + 1] << 8);
    return received == ComputeChecksum(frame, checked);
}

// What a ping reply tells: a text and the largest data block the unit takes.
struct BootloaderInfo {
    std::string text;
    std::uint16_t blockSize = 0;
};

// The reply's data up to its first zero byte, and the low half of its value. A reply
// without data tells nothing: false, info unchanged.
bool ReadPingReply(const std::uint8_t* frame, BootloaderInfo& info);
