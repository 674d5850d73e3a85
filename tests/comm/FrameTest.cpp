// Frames as the unit might send them, damaged ones included, written byte for byte by the
// test on the far end of a pseudo-terminal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "comm/Communications.h"
#include "sim/Pty.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

// Built here by hand, so that the tool's own frame code is not what checks itself.
std::string UnitFrame(std::uint8_t type, std::uint8_t status, std::uint32_t value,
                      const std::string& data)
{
    std::string frame = {'\x7E', char(type), char(status), char(data.size() & 0xFF),
                         char(data.size() >> 8)};
    for (int i = 0; i < 4; ++i) frame += char(value >> (8 * i));
    frame += data;
    const std::uint16_t check = ComputeChecksum(frame.data(), frame.size());
    return frame + char(check & 0xFF) + char(check >> 8);
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Open(115200));
        ASSERT_TRUE(comm.Port().Open(pty.SlavePath(), 115200));
    }
    void Send(const std::string& bytes)
    {
        ASSERT_EQ(::write(pty.MasterFd(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    CPty pty;
    CCommunications comm{FastTimings()};
};

TEST_F(FrameTest, PollTakesWhatEachFrameTells)
{
    Send(UnitFrame(FramePing, 3, 0xABCD0200, std::string("boot 2\0junk", 11)));
    EXPECT_EQ(comm.Poll(), FramePing);
    EXPECT_EQ(comm.bootInfo.text, "boot 2");
    EXPECT_EQ(comm.bootInfo.blockSize, 0x200);

    Send(UnitFrame(FramePing, 0, 64, "no zero"));  // the whole data is the text
    EXPECT_EQ(comm.Poll(), FramePing);
    EXPECT_EQ(comm.bootInfo.text, "no zero");

    for (const auto& [reported, taken] :
         {std::pair{0x3C000u, 0x3C000u}, {0x40000u, 0x40000u}, {0xFFFFFFFFu, 0x40000u}}) {
        Send(UnitFrame(FrameUserBlock, 0, reported, ""));
        EXPECT_EQ(comm.Poll(), FrameUserBlock);
        EXPECT_EQ(comm.userBlockAddress, taken);
    }

    Send(UnitFrame(0x33, 0, 7, "x"));  // unknown types are read and change nothing
    EXPECT_EQ(comm.Poll(), 0x33);
    EXPECT_EQ(comm.bootInfo.text, "no zero");
}

TEST_F(FrameTest, DamagedFramesAreNoFrames)
{
    std::string badCheck = UnitFrame(FramePing, 0, 1, "x");
    badCheck.back() ^= 0x40;
    std::string tooLong = UnitFrame(FrameReboot, 0, 0, "");
    tooLong[3] = char(1493 & 0xFF);
    tooLong[4] = char(1493 >> 8);
    tooLong.resize(9);  // rejected from its header: nothing more is read for it

    Send("?" + badCheck + tooLong + UnitFrame(FrameReboot, 0, 0, ""));
    EXPECT_EQ(comm.Poll(), 0);  // the stray byte
    EXPECT_EQ(comm.Poll(), 0);  // the wrong check value
    EXPECT_EQ(comm.Poll(), 0);  // the length beyond 1492
    EXPECT_EQ(comm.Poll(), FrameReboot);
    EXPECT_TRUE(comm.bootInfo.text.empty());

    // The longest frame fills the buffer without passing its end.
    Send(UnitFrame(FrameData, 6, 0, std::string(kFrameMaxData, 'd')));
    EXPECT_EQ(comm.Poll(), FrameData);

    // A frame that breaks off is none either.
    Send(UnitFrame(FramePing, 0, 1, "abc").substr(0, 12));
    EXPECT_EQ(comm.Poll(), 0);
}

TEST_F(FrameTest, WaitForFrameGivesTheFirstFrameInTheWindow)
{
    Send(UnitFrame(FramePing, 0, 0, "") + UnitFrame(FrameReboot, 0, 0, ""));
    EXPECT_EQ(comm.WaitForFrame(100), FramePing);
    EXPECT_EQ(comm.WaitForFrame(100), FrameReboot);
    EXPECT_EQ(comm.WaitForFrame(50), 0);
}

TEST_F(FrameTest, SendFrameSealsWhatItSends)
{
    FrameBuffer frame{};
    SetFrameHeader(frame, FrameDataAlternate, 0, 3, 0x40000);
    FrameDataOf(frame)[0] = 'a';
    FrameDataOf(frame)[1] = 'b';
    FrameDataOf(frame)[2] = 'c';
    ASSERT_TRUE(comm.SendFrame(frame));
    char wire[32];
    ASSERT_EQ(::read(pty.MasterFd(), wire, sizeof wire), 14);
    EXPECT_EQ(std::string(wire, 14), UnitFrame(FrameDataAlternate, 0, 0x40000, "abc"));

    SetFrameHeader(frame, FrameData, 0, kFrameMaxData + 1, 0);
    EXPECT_FALSE(comm.SendFrame(frame));  // would not fit any frame buffer
}

}  // namespace
