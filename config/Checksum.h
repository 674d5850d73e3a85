// The unit's 16-bit check word. It guards the configuration image and every bootloader
// frame; the unit computes the same function, so it is reproduced bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::uint16_t kChecksumStart = 0xFFFF;

// An empty block gives 0, not the start value.
std::uint16_t ComputeChecksum(const void* data, std::size_t count,
                              std::uint16_t start = kChecksumStart);
