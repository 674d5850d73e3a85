#include "config/Checksum.h"

std::uint16_t ComputeChecksum(const void* data, std::size_t count, std::uint16_t start)
{
    if (count == 0) return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    unsigned c = start;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned d = (bytes[i] ^ c) & 0xFFu;
        d ^= (d << 4) & 0xFFu;
        // No (d >> 4) term: this is the unit's variant, not the X.25 CRC.
        c = (((d << 8) | (c >> 8)) ^ (d << 3)) & 0xFFFFu;
    }
    const unsigned swapped = ((c & 0xFFu) << 8) | (c >> 8);
    return static_cast<std::uint16_t>(~swapped & 0xFFFFu);
}
