// The bootloader side against the simulated unit: flash mode, ping, the download with its
// user block, acknowledgements, time-outs and reboot.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/comm/SimulatedUnit.h"

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + i / 251);
    return bytes;
}

// Counts the progress reports and what they said.
struct ProgressLog : CFlashDisplay {
    explicit ProgressLog(CCommunications& c) : comm(c) {}
    void UpdateProgress() override
    {
        seen.push_back(comm.percentComplete);
        if (abortAfter > 0 && int(seen.size()) == abortAfter) comm.abortRequested = true;
    }
    CCommunications& comm;
    std::vector<double> seen;
    int abortAfter = 0;
};

class FlashTest : public SimulatedUnitTest {
protected:
    void StartUnitWith(const SimOptions& options) { StartUnit(DefaultConfig(), options); }

    // Command mode at 57600, then flash mode at the download rate, then a ping.
    void EnterFlash(CCommunications& comm, int rate = 115200)
    {
        Connect(comm);
        ASSERT_TRUE(comm.InitFlash(rate)) << comm.GetErrorText();
        ASSERT_TRUE(comm.Ping()) << comm.GetErrorText();
    }

    std::vector<SimDataFrame> Frames() const { return unit->Log().dataFrames; }

    // The file's bytes are in the unit's memory at their own offsets, in [from, to).
    void ExpectWritten(const std::vector<std::uint8_t>& file, std::size_t from, std::size_t to)
    {
        const std::vector<std::uint8_t> memory = unit->FlashMemory();
        for (std::size_t address = from; address < to; ++address)
            ASSERT_EQ(memory[address], file[address]) << "at " << address;
    }
};

TEST_F(FlashTest, PingTellsTheBootloadersTextAndBlockSize)
{
    CCommunications comm;
    EnterFlash(comm);
    EXPECT_EQ(unit->BaudRate(), 115200);
    EXPECT_EQ(comm.bootInfo.text, "Weirlink boot 1.07");
    EXPECT_EQ(comm.bootInfo.blockSize, 1024);  // the reply's high half says something else
    EXPECT_EQ(unit->Log().pings, 1);
}

TEST_F(FlashTest, FlashModeFailuresInTheirOwnWords)
{
    FaultLines("SX", SimLineFault::Kind::ErrorReply, 1);
    CCommunications comm(FastTimings());
    Connect(comm);
    EXPECT_FALSE(comm.InitFlash(115200));
    EXPECT_EQ(comm.GetErrorText(), kInitFlashText);
    comm.ClosePort();

    // The unit takes any rate; this port does not.
    Connect(comm);
    EXPECT_FALSE(comm.InitFlash(12345));
    EXPECT_EQ(comm.GetErrorText(), kFlashBaudText);
}

TEST_F(FlashTest, PingWithoutReplyFailsAndAnEmptyReplyChangesNothing)
{
    SimFaults faults;
    faults.pingSilent = true;
    unit->SetFaults(faults);
    CCommunications fast(FastTimings());
    Connect(fast);
    ASSERT_TRUE(fast.InitFlash(115200));
    EXPECT_FALSE(fast.Ping());
    EXPECT_EQ(fast.GetErrorText(), kPingNoReplyText);

    StartUnit(DefaultConfig());
    faults = {};
    faults.pingEmptyReply = true;
    unit->SetFaults(faults);
    CCommunications comm;
    comm.bootInfo = {"earlier", 512};
    EnterFlash(comm);
    EXPECT_EQ(comm.bootInfo.text, "earlier");
    EXPECT_EQ(comm.bootInfo.blockSize, 512);
}

TEST_F(FlashTest, DownloadWritesTheFileAndReportsEachAcknowledgedBlock)
{
    CCommunications comm;
    ProgressLog progress(comm);
    comm.display = &progress;
    EXPECT_EQ(comm.percentComplete, -1.0);
    EnterFlash(comm);
    const std::vector<std::uint8_t> file = Pattern(5000);
    TempFile path(file);
    ASSERT_TRUE(comm.Download(path.Path(), false)) << comm.GetErrorText();

    const std::vector<SimDataFrame> frames = Frames();
    ASSERT_EQ(frames.size(), 5u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].type, 2);
        EXPECT_EQ(frames[i].offset, i * 1024);
        EXPECT_EQ(frames[i].length, i < 4 ? 1024u : 904u);
    }
    ExpectWritten(file, 0, file.size());
    EXPECT_EQ(comm.percentComplete, 100.0);
    ASSERT_EQ(progress.seen.size(), 5u);
    EXPECT_DOUBLE_EQ(progress.seen[0], 1024 * 100.0 / 5000);
    EXPECT_EQ(progress.seen.back(), 100.0);
}

TEST_F(FlashTest, BlocksAreEvenAndNoLargerThan1024OrTheUnitsSize)
{
    const struct {
        std::uint16_t reported;
        std::size_t used;
    } cases[] = {{2000, 1024}, {1024, 1024}, {513, 512}, {3, 2}};
    for (const auto& c : cases) {
        SimOptions options;
        options.blockSize = c.reported;
        StartUnitWith(options);
        CCommunications comm;
        EnterFlash(comm);
        TempFile file(Pattern(2100));
        ASSERT_TRUE(comm.Download(file.Path(), false)) << comm.GetErrorText();
        const std::vector<SimDataFrame> frames = Frames();
        for (std::size_t i = 0; i + 1 < frames.size(); ++i)
            EXPECT_EQ(frames[i].length, c.used) << "reported " << c.reported;
        EXPECT_EQ(frames.size(), (2100 + c.used - 1) / c.used);
    }
}

TEST_F(FlashTest, ABlockSizeBelowTwoFailsAtOnce)
{
    for (std::uint16_t reported : {0, 1}) {
        SimOptions options;
        options.blockSize = reported;
        StartUnitWith(options);
        CCommunications comm;
        EnterFlash(comm);
        TempFile file(Pattern(100));
        EXPECT_FALSE(comm.Download(file.Path(), false));
        EXPECT_EQ(comm.GetErrorText(), kBlockSizeText);
        EXPECT_TRUE(Frames().empty());
    }
}

TEST_F(FlashTest, UserBlockIsAskedForOnlyWhenTheFileReachesPastIt)
{
    CCommunications comm;
    EnterFlash(comm);
    TempFile exact(Pattern(0x40000));
    ASSERT_TRUE(comm.Download(exact.Path(), true)) << comm.GetErrorText();
    EXPECT_EQ(unit->Log().userBlockQueries, 0);
    const std::vector<SimDataFrame> frames = Frames();
    ASSERT_EQ(frames.size(), 256u);
    EXPECT_EQ(frames.back().offset + frames.back().length, 0x40000u);
    EXPECT_EQ(frames.back().type, 4);

    unit->ClearLog();
    TempFile longer(Pattern(0x40001));
    ASSERT_TRUE(comm.Download(longer.Path(), true)) << comm.GetErrorText();
    EXPECT_EQ(unit->Log().userBlockQueries, 1);
}

TEST_F(FlashTest, UserBlockIsSkippedFromItsAddressTo0x40000)
{
    SimOptions options;
    options.userBlockAddress = 0x3C123;
    StartUnitWith(options);
    CCommunications comm;
    ProgressLog progress(comm);
    comm.display = &progress;
    EnterFlash(comm);
    const std::vector<std::uint8_t> file = Pattern(0x40000 + 3000);
    TempFile path(file);
    ASSERT_TRUE(comm.Download(path.Path(), true)) << comm.GetErrorText();
    EXPECT_EQ(comm.userBlockAddress, 0x3C123u);

    std::size_t expectedOffset = 0;
    for (const SimDataFrame& frame : Frames()) {
        ASSERT_EQ(frame.offset, expectedOffset);
        expectedOffset = frame.offset + frame.length;
        if (expectedOffset == 0x3C123) expectedOffset = 0x40000;  // the shortened block ends here
        EXPECT_TRUE(frame.offset + frame.length <= 0x3C123 || frame.offset >= 0x40000);
    }
    EXPECT_EQ(expectedOffset, file.size());
    EXPECT_EQ(unit->Log().userBlockWrites, 0);
    ExpectWritten(file, 0, 0x3C123);
    ExpectWritten(file, 0x40000, file.size());
    const std::vector<std::uint8_t> memory = unit->FlashMemory();
    for (std::size_t address = 0x3C123; address < 0x40000; ++address)
        ASSERT_EQ(memory[address], kSimUserBlockByte);
    EXPECT_EQ(comm.percentComplete, 100.0);
    EXPECT_EQ(progress.seen.size(), Frames().size());
}

TEST_F(FlashTest, UserBlockAddressAbove0x40000SkipsNothing)
{
    SimOptions options;
    options.userBlockAddress = 0x50000;
    StartUnitWith(options);
    CCommunications comm;
    EnterFlash(comm);
    const std::vector<std::uint8_t> file = Pattern(0x40000 + 100);
    TempFile path(file);
    ASSERT_TRUE(comm.Download(path.Path(), true)) << comm.GetErrorText();
    EXPECT_EQ(comm.userBlockAddress, 0x40000u);
    std::size_t covered = 0;
    for (const SimDataFrame& frame : Frames()) {
        EXPECT_EQ(frame.offset, covered);
        covered += frame.length;
    }
    EXPECT_EQ(covered, file.size());
    ExpectWritten(file, 0, file.size());
}

TEST_F(FlashTest, SilentUserBlockQueryFailsAfterThreeRounds)
{
    SimFaults faults;
    faults.userBlockSilent = true;
    unit->SetFaults(faults);
    CCommunications comm(FastTimings());
    EnterFlash(comm);
    TempFile file(Pattern(0x40001));
    EXPECT_FALSE(comm.Download(file.Path(), true));
    EXPECT_EQ(comm.GetErrorText(), kUserBlockNoReplyText);
    EXPECT_EQ(unit->Log().userBlockQueries, 3);
    EXPECT_TRUE(Frames().empty());
}

TEST_F(FlashTest, RefusedBlocksAreSentAgainUntilTheFifthTimeOut)
{
    for (int refusals : {4, 5}) {
        StartUnit(DefaultConfig());
        SimFaults faults;
        faults.nakFrames = refusals;
        unit->SetFaults(faults);
        CCommunications comm(FastTimings());
        ProgressLog progress(comm);
        comm.display = &progress;
        EnterFlash(comm);
        TempFile file(Pattern(3000));
        const bool done = comm.Download(file.Path(), false);

        const std::vector<SimDataFrame> frames = Frames();
        const std::size_t firstBlockSends = std::min(refusals + 1, 5);
        for (std::size_t i = 0; i < firstBlockSends; ++i) EXPECT_EQ(frames[i].offset, 0u);
        if (refusals == 4) {
            EXPECT_TRUE(done) << comm.GetErrorText();
            EXPECT_EQ(frames.size(), 7u);
            EXPECT_EQ(progress.seen.size(), 3u);  // acknowledged blocks only
        } else {
            EXPECT_FALSE(done);
            EXPECT_EQ(comm.GetErrorText(), kDownloadTimeoutText);
            EXPECT_EQ(frames.size(), 5u);
            EXPECT_EQ(comm.percentComplete, 0.0);
        }
    }
}

TEST_F(FlashTest, DamagedAcknowledgementIsIgnoredUntilAGoodOneComes)
{
    // Followed at once by a good copy: no block goes twice.
    SimFaults faults;
    faults.corruptAcks = 2;
    faults.repeatCorruptAck = true;
    unit->SetFaults(faults);
    CCommunications comm;
    EnterFlash(comm);
    TempFile file(Pattern(3000));
    ASSERT_TRUE(comm.Download(file.Path(), false)) << comm.GetErrorText();
    EXPECT_EQ(Frames().size(), 3u);

    // Alone: the block goes again after the wait, and the download goes on.
    StartUnit(DefaultConfig());
    faults.repeatCorruptAck = false;
    unit->SetFaults(faults);
    CCommunications fast(FastTimings());
    EnterFlash(fast);
    ASSERT_TRUE(fast.Download(file.Path(), false)) << fast.GetErrorText();
    const std::vector<SimDataFrame> frames = Frames();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[1].offset, 0u);
    EXPECT_EQ(frames[3].offset, 1024u);
    ExpectWritten(Pattern(3000), 0, 3000);
}

TEST_F(FlashTest, LineGoingDeadMidDownloadTimesOut)
{
    SimFaults faults;
    faults.deadAfterFrames = 3;
    unit->SetFaults(faults);
    CCommunications comm(FastTimings());
    EnterFlash(comm);
    TempFile file(Pattern(10 * 1024));
    EXPECT_FALSE(comm.Download(file.Path(), false));
    EXPECT_EQ(comm.GetErrorText(), kDownloadTimeoutText);
    EXPECT_DOUBLE_EQ(comm.percentComplete, 30.0);
}

TEST_F(FlashTest, AbortStopsTheDownloadAndTheNextOneStartsAfresh)
{
    CCommunications comm;
    ProgressLog progress(comm);
    progress.abortAfter = 2;
    comm.display = &progress;
    EnterFlash(comm);
    TempFile file(Pattern(8 * 1024));
    EXPECT_FALSE(comm.Download(file.Path(), false));
    EXPECT_EQ(comm.GetErrorText(), kDownloadAbortedText);
    EXPECT_EQ(comm.percentComplete, 25.0);
    EXPECT_EQ(Frames().size(), 2u);

    progress.abortAfter = 0;
    EXPECT_TRUE(comm.Download(file.Path(), false)) << comm.GetErrorText();
}

TEST_F(FlashTest, AbortFromAnotherThread)
{
    // The third report holds the download until the flag is set from the test's thread.
    struct HoldAtThirdBlock : CFlashDisplay {
        explicit HoldAtThirdBlock(CCommunications& c) : comm(c) {}
        void UpdateProgress() override
        {
            if (++blocks == 3) {
                reached = true;
                while (!comm.abortRequested) std::this_thread::yield();
            }
        }
        CCommunications& comm;
        int blocks = 0;
        std::atomic<bool> reached{false};
    };
    CCommunications comm;
    HoldAtThirdBlock hold(comm);
    comm.display = &hold;
    EnterFlash(comm);
    TempFile file(Pattern(64 * 1024));
    bool done = true;
    std::thread worker([&] { done = comm.Download(file.Path(), false); });
    while (!hold.reached) std::this_thread::yield();
    comm.abortRequested = true;
    worker.join();
    EXPECT_FALSE(done);
    EXPECT_EQ(comm.GetErrorText(), kDownloadAbortedText);
    EXPECT_DOUBLE_EQ(comm.percentComplete, 3 * 100.0 / 64);
}

TEST_F(FlashTest, RebootNeedsATypeSixReplyFirst)
{
    CCommunications comm;
    EnterFlash(comm);
    EXPECT_TRUE(comm.Reboot()) << comm.GetErrorText();
    EXPECT_EQ(unit->BaudRate(), 57600);  // back at its configuration port's rate
    comm.ClosePort();
    CCommunications again;
    Connect(again);

    StartUnit(DefaultConfig());
    SimFaults faults;
    faults.rebootWrongTypeFirst = true;
    unit->SetFaults(faults);
    CCommunications wrong;
    EnterFlash(wrong);
    EXPECT_FALSE(wrong.Reboot());
    EXPECT_EQ(wrong.GetErrorText(), kRebootNoReplyText);

    StartUnit(DefaultConfig());
    faults = {};
    faults.rebootSilent = true;
    unit->SetFaults(faults);
    CCommunications silent(FastTimings());
    EnterFlash(silent);
    EXPECT_FALSE(silent.Reboot());
    EXPECT_EQ(silent.GetErrorText(), kRebootNoReplyText);
}

TEST_F(FlashTest, FailuresToWriteOrToReadTheFile)
{
    CCommunications comm;
    EnterFlash(comm);
    EXPECT_FALSE(comm.Download("/no/such/file.bin", true));
    EXPECT_EQ(comm.GetErrorText(), kDownloadFileText);
    EXPECT_FALSE(comm.Download("/tmp", true));  // a folder is no file
    EXPECT_EQ(comm.GetErrorText(), kDownloadFileText);

    // A port that is gone, as when the adapter is pulled out.
    comm.ClosePort();
    EXPECT_FALSE(comm.Ping());
    EXPECT_EQ(comm.GetErrorText(), kPingSendText);
    EXPECT_FALSE(comm.Reboot());
    EXPECT_EQ(comm.GetErrorText(), kRebootSendText);
    TempFile small(Pattern(100)), large(Pattern(0x40001));
    EXPECT_FALSE(comm.Download(small.Path(), true));
    EXPECT_EQ(comm.GetErrorText(), kBlockSendText);
    EXPECT_FALSE(comm.Download(large.Path(), true));
    EXPECT_EQ(comm.GetErrorText(), kUserBlockSendText);
    EXPECT_FALSE(comm.InitFlash(57600));
    EXPECT_EQ(comm.GetErrorText(), kInitFlashText);
}

}  // namespace
