#include "config/ConfigImage.h"

#include <cstring>
#include <istream>
#include <ostream>

#include "config/Checksum.h"

ImageHeader BuildImageHeader(const UnitConfig& config)
{
    ImageHeader header{};
    header.magic = kImageMagic;
    header.version = 0;
    header.length = static_cast<std::int16_t>(kUnitConfigSize);
    header.checksum = ComputeChecksum(&config, kUnitConfigSize);
    return header;
}

bool WriteConfigImage(const UnitConfig& config, std::ostream& out)
{
    const ImageHeader header = BuildImageHeader(config);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&config), kUnitConfigSize);
    return static_cast<bool>(out);
}

namespace {

// Bytes between the read position and the end; -1 when the source cannot tell.
std::streamoff RemainingBytes(std::istream& in)
{
    const std::streampos here = in.tellg();
    if (here == std::streampos(-1)) return -1;
    in.seekg(0, std::ios::end);
    const std::streampos end = in.tellg();
    in.seekg(here);
    if (end == std::streampos(-1) || !in) return -1;
    return end - here;
}

bool Fail(std::string& errorText, const char* text)
{
    errorText = text;
    return false;
}

}  // namespace

bool ReadConfigImage(UnitConfig& config, std::istream& in, std::string& errorText)
{
    // A source that throws on errors must not carry the exception past this layer.
    try {
        std::streamoff remaining = RemainingBytes(in);
        if (remaining < 0) return Fail(errorText, kImageUnreadableText);
        // Shorter than a header: the checks below would look at bytes never read.
        if (remaining < static_cast<std::streamoff>(sizeof(ImageHeader)))
            return Fail(errorText, kImageIncompleteText);

        ImageHeader header{};
        if (!in.read(reinterpret_cast<char*>(&header), sizeof header))
            return Fail(errorText, kImageUnreadableText);
        remaining -= static_cast<std::streamoff>(sizeof header);

        if (header.length > remaining) return Fail(errorText, kImageIncompleteText);
        if (header.version != 0) return Fail(errorText, kImageVersionText);
        // This tool and the unit only ever write 421; any other length would either
        // overrun the record or leave part of it unread.
        if (header.length != static_cast<std::int16_t>(kUnitConfigSize))
            return Fail(errorText, kImageUnreadableText);

        unsigned char payload[kUnitConfigSize];
        if (!in.read(reinterpret_cast<char*>(payload), kUnitConfigSize))
            return Fail(errorText, kImageUnreadableText);
        if (ComputeChecksum(payload, kUnitConfigSize) != header.checksum)
            return Fail(errorText, kImageChecksumText);

        std::memcpy(&config, payload, kUnitConfigSize);
        return true;
    } catch (const std::exception&) {
        return Fail(errorText, kImageUnreadableText);
    }
}
