#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>

#include "config/Checksum.h"
#include "config/ConfigImage.h"

namespace {

std::string DefaultImage()
{
    UnitConfig config;
    SetDefaults(config);
    std::ostringstream out;
    EXPECT_TRUE(WriteConfigImage(config, out));
    return out.str();
}

void PutLe16(std::string& bytes, std::size_t offset, int value)
{
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void FillWithSentinel(UnitConfig& config)
{
    std::memset(&config, 0xA5, sizeof config);
}

bool IsSentinel(const UnitConfig& config)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&config);
    for (std::size_t i = 0; i < sizeof config; ++i)
        if (bytes[i] != 0xA5) return false;
    return true;
}

}  // namespace

TEST(Checksum, MatchesTheUnitsCheckValues)
{
    EXPECT_EQ(ComputeChecksum("123456789", 9), 0x4777);
    EXPECT_EQ(ComputeChecksum("abc", 3), 0xF76D);
    EXPECT_EQ(ComputeChecksum("\0", 1), 0x78F0);
    EXPECT_EQ(ComputeChecksum("", 0), 0);
}

TEST(ConfigImage, DefaultImageHasTheKnownHeaderAndSize)
{
    const std::string image = DefaultImage();
    ASSERT_EQ(image.size(), 435u);
    const unsigned char header[14] = {0x13, 0x58, 0x23, 0x11, 0x00, 0x00, 0xA5,
                                      0x01, 0x33, 0x7B, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(image.data(), header, sizeof header), 0);
    // Byte for byte the same on every run: nothing uninitialised behind the names' NULs.
    EXPECT_EQ(image, DefaultImage());
}

TEST(ConfigImage, RoundTripKeepsEveryByteIncludingReservedFields)
{
    UnitConfig written;
    SetDefaults(written);
    written.reserved82 = 0x5A;
    written.reservedFloat[1] = -123.25f;
    written.analogChannelCount = 300;  // a 16-bit count, not a byte
    written.alarmRule[7].threshold2 = -500;
    std::ostringstream out;
    ASSERT_TRUE(WriteConfigImage(written, out));

    UnitConfig read;
    FillWithSentinel(read);
    std::istringstream in(out.str());
    std::string errorText;
    ASSERT_TRUE(ReadConfigImage(read, in, errorText)) << errorText;
    EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);
    EXPECT_EQ(read.analogChannelCount, 300);
}

TEST(ConfigImage, AcceptsForeignMagicTrailingBytesAndAnImageInsideAReply)
{
    std::string foreignMagic = DefaultImage();
    foreignMagic[0] = 0x00;
    foreignMagic[3] = 0x7F;
    const std::string withPrompt = DefaultImage() + "\r\n>";
    for (const std::string& image : {foreignMagic, withPrompt}) {
        UnitConfig config;
        FillWithSentinel(config);
        std::istringstream in(image);
        std::string errorText;
        EXPECT_TRUE(ReadConfigImage(config, in, errorText)) << errorText;
        EXPECT_EQ(config.siteName, std::string("NewSite"));
    }

    // The unit's reply starts with text before the image; the reader starts where it is.
    std::istringstream reply("PS\r\n" + DefaultImage() + ">");
    reply.seekg(4);
    UnitConfig config;
    std::string errorText;
    EXPECT_TRUE(ReadConfigImage(config, reply, errorText)) << errorText;
}

struct DamagedCase {
    const char* what;
    std::string bytes;
    const char* expectedText;
};

TEST(ConfigImage, RejectsDamagedImagesAndLeavesTheRecordUntouched)
{
    const std::string good = DefaultImage();
    auto with = [&](auto change) {
        std::string bytes = good;
        change(bytes);
        return bytes;
    };
    const DamagedCase cases[] = {
        {"one payload byte missing", good.substr(0, 434), kImageIncompleteText},
        {"empty source", "", kImageIncompleteText},
        {"13 bytes, shorter than a header", good.substr(0, 13), kImageIncompleteText},
        {"header only", good.substr(0, 14), kImageIncompleteText},
        {"one payload byte changed", with([](std::string& b) { b[100] ^= 0x01; }),
         kImageChecksumText},
        {"checksum field changed", with([](std::string& b) { b[8] ^= 0x80; }), kImageChecksumText},
        {"version 1", with([](std::string& b) { PutLe16(b, 4, 1); }), kImageVersionText},
        {"version 1 and a bad checksum", with([](std::string& b) {
             PutLe16(b, 4, 1);
             b[200] ^= 0xFF;
         }),
         kImageVersionText},
        // The shortage is judged before the version.
        {"version 1 and short", with([](std::string& b) { PutLe16(b, 4, 1); }).substr(0, 300),
         kImageIncompleteText},
        {"length 422 with 421 bytes following", with([](std::string& b) { PutLe16(b, 6, 422); }),
         kImageIncompleteText},
        {"length 422 with the bytes present",
         with([](std::string& b) { PutLe16(b, 6, 422); }) + "x", kImageUnreadableText},
        {"length 420", with([](std::string& b) { PutLe16(b, 6, 420); }), kImageUnreadableText},
        {"length 0", with([](std::string& b) { PutLe16(b, 6, 0); }), kImageUnreadableText},
        {"length -1", with([](std::string& b) { PutLe16(b, 6, -1); }), kImageUnreadableText},
        {"length -32768", with([](std::string& b) { PutLe16(b, 6, -32768); }),
         kImageUnreadableText},
    };
    for (const DamagedCase& c : cases) {
        SCOPED_TRACE(c.what);
        UnitConfig config;
        FillWithSentinel(config);
        std::istringstream in(c.bytes);
        std::string errorText;
        EXPECT_FALSE(ReadConfigImage(config, in, errorText));
        EXPECT_EQ(errorText, c.expectedText);
        EXPECT_TRUE(IsSentinel(config));
    }
}

namespace {

// A source that announces a whole image but breaks off after `delivered` bytes, as a file
// does when it is cut short while being read, or a device that fails.
class CBrokenSource : public std::streambuf {
public:
    CBrokenSource(std::string bytes, std::size_t delivered)
        : bytes_(std::move(bytes)), delivered_(static_cast<std::streamsize>(delivered))
    {
        setg(bytes_.data(), bytes_.data(), bytes_.data() + bytes_.size());
    }

protected:
    std::streamsize xsgetn(char* to, std::streamsize count) override
    {
        count = std::min(count, std::max<std::streamsize>(0, delivered_ - (gptr() - eback())));
        std::memcpy(to, gptr(), static_cast<std::size_t>(count));
        gbump(static_cast<int>(count));
        return count;
    }
    int_type underflow() override { return traits_type::eof(); }
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode) override
    {
        const off_type base = dir == std::ios_base::beg   ? 0
                              : dir == std::ios_base::cur ? gptr() - eback()
                                                          : egptr() - eback();
        if (base + offset < 0 || base + offset > egptr() - eback()) return pos_type(-1);
        setg(eback(), eback() + base + offset, egptr());
        return base + offset;
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override
    {
        return seekoff(off_type(position), std::ios_base::beg, mode);
    }

private:
    std::string bytes_;
    std::streamsize delivered_;
};

}  // namespace

TEST(ConfigImage, ReadErrorsOfTheSourceAreReportedNotThrown)
{
    const std::string good = DefaultImage();
    for (const std::size_t delivered : {std::size_t{5}, std::size_t{100}}) {
        SCOPED_TRACE(delivered);
        for (const bool throws : {false, true}) {
            CBrokenSource source(good, delivered);
            std::istream in(&source);
            if (throws) in.exceptions(std::ios::badbit | std::ios::failbit | std::ios::eofbit);
            UnitConfig config;
            FillWithSentinel(config);
            std::string errorText;
            EXPECT_FALSE(ReadConfigImage(config, in, errorText));
            EXPECT_EQ(errorText, kImageUnreadableText);
            EXPECT_TRUE(IsSentinel(config));
        }
    }
}
