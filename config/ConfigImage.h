// The configuration image: a 14-byte header and the 421 record bytes. It is the whole
// content of a .cfg file and the payload of the unit's reply to "PS".
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "config/UnitConfig.h"

#pragma pack(push, 1)
struct ImageHeader {
    std::uint32_t magic;     // kImageMagic; not tested on reading
    std::uint16_t version;   // must be 0
    std::int16_t length;     // payload bytes
    std::uint16_t checksum;  // ComputeChecksum of the payload
    std::uint16_t reserved[2];
};
#pragma pack(pop)
static_assert(sizeof(ImageHeader) == 14);

inline constexpr std::uint32_t kImageMagic = 0x11235813;
// The magic's first byte on the wire; it marks the image's start inside the unit's reply.
inline constexpr std::uint8_t kImageStartByte = 0x13;
inline constexpr std::size_t kImageSize = sizeof(ImageHeader) + kUnitConfigSize;

inline constexpr char kImageIncompleteText[] = "Incomplete configuration received";
inline constexpr char kImageVersionText[] =
    "Unknown settings version, program version may be incompatible";
inline constexpr char kImageChecksumText[] = "Validity check (CRC) failed, may be corrupt";
inline constexpr char kImageUnreadableText[] =
    "The file format was not recognized (exception occured)";

ImageHeader BuildImageHeader(const UnitConfig& config);

// Writes header and record. False when the stream reports a failure.
bool WriteConfigImage(const UnitConfig& config, std::ostream& out);

// Reads one image from a seekable source positioned at its start (a file, or the unit's
// reply in memory); bytes after the payload are ignored. On success all 421 bytes of the
// record are replaced; on failure the record is untouched and errorText holds the reason.
bool ReadConfigImage(UnitConfig& config, std::istream& in, std::string& errorText);
