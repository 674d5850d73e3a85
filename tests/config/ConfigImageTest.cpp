// The configuration image: its check word, its header, and every byte of the record through
// a write and a read; damaged images and failing sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

#include "config/Checksum.h"
#include "config/ConfigImage.h"

namespace {

std::string ImageOf(const UnitConfig& config)
{
    std::ostringstream out;
    EXPECT_TRUE(WriteConfigImage(config, out));
    return out.str();
}

std::string WithLe16(std::string bytes, std::size_t offset, int value)
{
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
    return bytes;
}

// The reader's text for a rejected image, read into a record full of marker bytes so that
// an accepted image or a changed record shows as well.
std::string RejectionOf(std::istream& in)
{
    UnitConfig config;
    std::memset(&config, 0xA5, sizeof config);
    std::string errorText;
    if (ReadConfigImage(config, in, errorText)) return "accepted";
    const auto* bytes = reinterpret_cast<const unsigned char*>(&config);
    const bool changed =
        std::any_of(bytes, bytes + sizeof config, [](auto b) { return b != 0xA5; });
    return changed ? "changed the record" : errorText;
}

// A device that fails while it is being read.
struct CFailingSource : std::stringbuf {
    using std::stringbuf::stringbuf;
    std::streamsize xsgetn(char*, std::streamsize) override { throw std::runtime_error("EIO"); }
};

class ConfigImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDefaults(config);
        image = ImageOf(config);
    }

    UnitConfig config;
    std::string image;
    std::string errorText;
};

}  // namespace

TEST_F(ConfigImageTest, ChecksumHeaderAndRoundTrip)
{
    for (const auto& [text, size, value] :
         {std::tuple{"123456789", 9, 0x4777}, {"abc", 3, 0xF76D}, {"\0", 1, 0x78F0}, {"", 0, 0}})
        EXPECT_EQ(ComputeChecksum(text, size), value) << text;

    // The defaults' checksum also shows that nothing is uninitialised behind the names' NULs.
    ASSERT_EQ(image.size(), 435u);
    EXPECT_EQ(image.substr(0, 14), std::string("\x13\x58\x23\x11\0\0\xA5\x01\x33\x7B\0\0\0\0", 14));

    // Every byte comes back, whatever magic the image has, whatever text precedes the image
    // in the unit's reply (the reader starts where the stream is) or follows it.
    config.reserved82 = 0x5A, config.reservedFloat[1] = -123.25f;
    config.analogChannelCount = 300, config.alarmRule[7].threshold2 = -500;  // 16 and 32 bits
    const std::string written = ImageOf(config);
    // clang-format off
    const std::pair<std::string, int> sources[] = {
        {written, 0}, {std::string(4, '\0') + written.substr(4), 0},
        {"PS\r\n" + written + "\r\n>", 4}};
    // clang-format on
    for (const auto& [bytes, start] : sources) {
        std::istringstream in(bytes);
        in.seekg(start);
        UnitConfig read{};
        EXPECT_TRUE(ReadConfigImage(read, in, errorText)) << errorText;
        EXPECT_EQ(std::memcmp(&read, &config, sizeof read), 0);
    }
}

// Shortage is judged first, then the version, the length and the checksum; a length other
// than the record's is never trusted, whether the bytes are there or not.
TEST_F(ConfigImageTest, DamagedImagesGiveTheirTextAndLeaveTheRecordUntouched)
{
    const std::string& good = image;
    const std::string version1 = WithLe16(good, 4, 1);
    // clang-format off
    const char *incomplete = kImageIncompleteText, *unreadable = kImageUnreadableText,
               *checksum = kImageChecksumText;
    const std::pair<std::string, const char*> cases[] = {
        {"", incomplete}, {good.substr(0, 13), incomplete}, {good.substr(0, 14), incomplete},
        {good.substr(0, 434), incomplete}, {version1.substr(0, 300), incomplete},
        {WithLe16(good, 100, 0x1234), checksum}, {WithLe16(good, 8, 0), checksum},
        {version1, kImageVersionText}, {WithLe16(version1, 200, 0x1234), kImageVersionText},
        {WithLe16(good, 6, 422), incomplete}, {WithLe16(good, 6, 422) + "x", unreadable},
        {WithLe16(good, 6, 420), unreadable}, {WithLe16(good, 6, 0), unreadable},
        {WithLe16(good, 6, -1), unreadable}, {WithLe16(good, 6, -32768), unreadable}};
    // clang-format on
    for (const auto& [bytes, text] : cases) {
        std::istringstream in(bytes);
        EXPECT_EQ(RejectionOf(in), text) << bytes.size() << " bytes";
    }
    // A failing source, whether it reports by its state or by an exception.
    for (const bool throws : {false, true}) {
        CFailingSource source(good);
        std::istream in(&source);
        if (throws) in.exceptions(std::ios::badbit | std::ios::failbit);
        EXPECT_EQ(RejectionOf(in), kImageUnreadableText);
    }
}
