// The bootloader side: frames as the unit might send them, damaged ones included, and
// downloads to the simulated unit with its block sizes, user block, refused and damaged
// acknowledgements, abort and reboot. Failure texts: CommandModeTest.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "sim/Pty.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + i / 251);
    return bytes;
}

// Built here by hand, so that the tool's own frame code is not what checks itself.
std::string UnitFrame(std::uint8_t type, std::uint32_t value, const std::string& data)
{
    std::string frame = {'\x7E', char(type), 0, char(data.size() & 0xFF), char(data.size() >> 8)};
    for (int i = 0; i < 4; ++i) frame += char(value >> (8 * i));
    frame += data;
    const std::uint16_t check = ComputeChecksum(frame.data(), frame.size());
    return frame + char(check & 0xFF) + char(check >> 8);
}

TEST(Frames, DamagedFramesAreNoFramesAndNoneOverrunsTheBuffer)
{
    CPty pty;
    CCommunications comm(FastTimings());
    ASSERT_TRUE(pty.Open(115200) && comm.Port().Open(pty.SlavePath(), 115200));
    std::string badCheck = UnitFrame(FramePing, 1, "x"), tooLong = UnitFrame(FrameReboot, 0, "");
    badCheck.back() ^= 0x40;
    tooLong[4] = char(1493 >> 8);  // rejected from its header: nothing more is read for it
    tooLong[3] = char(1493 & 0xFF);
    const std::string bytes = "?" + badCheck + tooLong.substr(0, 9) +
                              UnitFrame(FrameData, 0, std::string(kFrameMaxData, 'd')) +
                              UnitFrame(FramePing, 0, "abc").substr(0, 12);
    ASSERT_EQ(::write(pty.MasterFd(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
    for (int type : {0, 0, 0, int(FrameData), 0}) EXPECT_EQ(comm.Poll(), type);
}

// Each download goes to a fresh unit over a fresh connection; the fixture takes the reports.
class Flash : public SimulatedUnitTest, protected CFlashDisplay {
protected:
    // The unit in its bootloader at 115200 and pinged.
    void EnterFlash(const SimOptions& options = {}, const SimFaults& faults = {})
    {
        StartUnit(DefaultConfig(), options);
        unit->SetFaults(faults);
        comm = std::make_unique<CCommunications>(timings);
        comm->display = this;
        seen.clear();
        ASSERT_TRUE(comm->EnterCommandMode(Device(), 57600) && comm->InitFlash(115200) &&
                    comm->Ping())
            << comm->GetErrorText();
    }

    // The frames of a download, which must succeed; the file must be in the unit's memory
    // up to its user block.
    std::vector<SimDataFrame> Download(const std::vector<std::uint8_t>& file,
                                       const SimOptions& options = {}, const SimFaults& faults = {},
                                       bool userBlockMode = false)
    {
        EnterFlash(options, faults);
        EXPECT_TRUE(comm->Download(TempFile(file).Path(), userBlockMode)) << comm->GetErrorText();
        const std::size_t end = std::min<std::size_t>(file.size(), 0x3C000);
        EXPECT_TRUE(std::equal(file.begin(), file.begin() + end, unit->FlashMemory().begin()));
        return unit->Log().dataFrames;
    }

    // Holds the download at report number holdAt until an abort is asked for.
    void UpdateProgress() override
    {
        seen.push_back(comm->percentComplete);
        if (int(seen.size()) != holdAt) return;
        held = true;
        while (!comm->abortRequested) std::this_thread::yield();
    }

    CommTimings timings;
    std::unique_ptr<CCommunications> comm;
    std::vector<double> seen;
    int holdAt = 0;
    std::atomic<bool> held{false};
};

TEST_F(Flash, BlocksAreEvenAndNoLargerThan1024OrTheSizeThePingReported)
{
    for (const auto& [reported, used] :
         {std::pair{1024, 1024u}, {2000, 1024u}, {513, 512u}, {3, 2u}}) {
        SCOPED_TRACE(reported);
        const std::vector<SimDataFrame> frames =
            Download(Pattern(2100), With(&SimOptions::blockSize, std::uint16_t(reported)));
        EXPECT_EQ(comm->bootInfo.text, "Weirlink boot 1.07");
        ASSERT_EQ(frames.size(), (2100 + used - 1) / used);
        EXPECT_EQ(frames[0].length, used);
        EXPECT_EQ(frames.back().offset + frames.back().length, 2100u);
        EXPECT_EQ(frames.back().type, FrameData);
        ASSERT_EQ(seen.size(), frames.size());  // one report for each acknowledged block
        EXPECT_DOUBLE_EQ(seen[0], used * 100.0 / 2100);
        EXPECT_EQ(seen.back(), 100.0);
    }
    // A ping reply without data leaves what the last one told.
    EnterFlash({}, With(&SimFaults::pingEmptyReply, true));
    comm->bootInfo = {"earlier", 512};
    ASSERT_TRUE(comm->Ping());
    EXPECT_EQ(comm->bootInfo.text, "earlier");
    EXPECT_EQ(comm->bootInfo.blockSize, 512);
}

TEST_F(Flash, UserBlockIsSkippedOnlyWhenTheFileReachesPastIt)
{
    const struct {
        std::size_t size;
        std::uint32_t reported, skipFrom;
        int queries;
    } cases[] = {
        {0x40000, 0x3C000, 0x40000, 0},         // exactly up to it: not asked for
        {0x40001, 0x3C000, 0x3C000, 1},         // one byte more
        {0x40000 + 3000, 0x3C123, 0x3C123, 1},  // the block before it is shortened
        {0x40000 + 100, 0x50000, 0x40000, 1},   // above the end: nothing to skip
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const std::vector<std::uint8_t> file = Pattern(c.size);
        const std::vector<SimDataFrame> frames =
            Download(file, With(&SimOptions::userBlockAddress, c.reported), {}, true);
        EXPECT_EQ(unit->Log().userBlockQueries, c.queries);
        std::size_t next = 0;
        for (const SimDataFrame& frame : frames) {
            ASSERT_EQ(frame.offset, next == c.skipFrom ? 0x40000 : next);
            EXPECT_EQ(frame.type, FrameDataAlternate);
            next = frame.offset + frame.length;
        }
        EXPECT_EQ(next, c.size);
        const std::vector<std::uint8_t> memory = unit->FlashMemory();
        for (std::size_t at = c.skipFrom; at < c.size; ++at)
            ASSERT_EQ(memory[at], at < 0x40000 ? kSimUserBlockByte : file[at]) << at;
        EXPECT_EQ(seen.back(), 100.0);
    }
}

TEST_F(Flash, RefusedOrDamagedAcknowledgementsSendTheBlockAgain)
{
    timings = FastTimings();
    SimFaults repeated = With(&SimFaults::corruptAcks, 2);
    repeated.repeatCorruptAck = true;  // each followed at once by a good copy
    // NAK four times then ACK; a corrupt frame then a good one, the block sent again or not.
    for (const auto& [faults, frames] : {std::pair{With(&SimFaults::nakFrames, 4), 7u},
                                         {With(&SimFaults::corruptAcks, 2), 5u},
                                         {repeated, 3u}}) {
        ASSERT_EQ(Download(Pattern(3000), {}, faults).size(), frames);
        EXPECT_EQ(unit->Log().dataFrames[frames - 3].offset, 0u);  // the first block's last try
        EXPECT_EQ(seen.size(), 3u);
    }
}

TEST_F(Flash, AbortFromAnotherThreadStopsTheDownloadAndTheNextStartsAfresh)
{
    EnterFlash();
    holdAt = 3;
    TempFile file(Pattern(64 * 1024));
    bool done = true;
    std::thread worker([&] { done = comm->Download(file.Path(), false); });
    while (!held) std::this_thread::yield();
    comm->abortRequested = true;
    worker.join();
    EXPECT_FALSE(done);
    EXPECT_EQ(comm->GetErrorText(), "Download aborted at user request");
    EXPECT_DOUBLE_EQ(comm->percentComplete, 3 * 100.0 / 64);
    holdAt = 0;
    EXPECT_TRUE(comm->Download(file.Path(), false)) << comm->GetErrorText();
    EXPECT_TRUE(comm->Reboot()) << comm->GetErrorText();
    EXPECT_EQ(unit->BaudRate(), 57600);  // back at its configuration port's rate
}

}  // namespace
