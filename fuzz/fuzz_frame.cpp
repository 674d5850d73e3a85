// The bootloader's frame reader fed from a buffer instead of the line: whatever arrives, it
// must never read or write past its frame buffer, and a frame that passes is decoded as the
// download decodes it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "comm/Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 0;
    // Like the port: a short read keeps the bytes that did arrive, then fails.
    auto readExact = [&](std::uint8_t* bytes, std::size_t count) {
        const std::size_t available = std::min(count, size - at);
        std::memcpy(bytes, data + at, available);
        at += available;
        return available == count;
    };
    FrameBuffer frame;
    BootloaderInfo info;
    while (at < size) {
        if (!ReadFrame(readExact, frame)) continue;
        if (FrameTypeOf(frame) == FramePing) ReadPingReply(frame, info);
        (void)FrameValueOf(frame);
        (void)FrameStatusOf(frame);
    }
    return 0;
}
