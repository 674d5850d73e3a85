#include "comm/Communications.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

#include "comm/Clock.h"
#include "comm/PortNames.h"
#include "config/ConfigFile.h"
#include "config/ConfigImage.h"

namespace {

constexpr long long kNoDeadline = LLONG_MAX;

// A wait that may be stopped looks at the flag this often.
constexpr long long kStopCheckMs = 50;

// Whole replies may take this many times as long as their bytes need on the line, on top of
// one byte time-out: room for a unit that pauses, and a reply somewhat longer than usual.
constexpr long long kReplyMargin = 4;

// The bytes each reply of command mode is expected to run to, generously: the unit's banner
// with its prompt; a command's echo and answer beyond the line itself; the "PS" reply
// (the buffer it is read into, with the words around it); the answers to "SH" and "SX".
constexpr std::size_t kBannerBytes = 512;
constexpr std::size_t kAnswerBytes = 128;
constexpr std::size_t kSettingsReplyBytes = kSettingsBufferSize + kAnswerBytes;

// Start byte, header and check value around a frame's data.
constexpr std::size_t kFrameOverhead = kFrameHeaderSize + 2;

}  // namespace

bool ReadSoftwareFile(const std::string& path, std::vector<std::uint8_t>& software,
                      std::string& errorText)
{
    software.clear();
    const auto fail = [&](const char* text, const std::string& reason) {
        errorText = std::string(text) + "\n" + path + ": " + reason;
        software.clear();
        return false;
    };
    std::string reason;
    const int fd = OpenRegularFile(path, reason);
    if (fd < 0) return fail(kDownloadFileText, reason);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(kSoftwareReadText, std::strerror(error));
    }
    const auto size = static_cast<unsigned long long>(info.st_size);
    if (size > kMaxSoftwareSize) {
        ::close(fd);
        return fail(kSoftwareTooLargeText, std::to_string(size) + " bytes, more than the " +
                                               std::to_string(kMaxSoftwareSize) +
                                               " any unit software takes");
    }

    // One byte more than the file should hold: a file that is longer than it said shows as
    // well as one that is shorter or broke off.
    software.resize(static_cast<std::size_t>(size) + 1);
    std::size_t got = 0;
    int error = 0;
    while (got < software.size()) {
        const ssize_t n = ::read(fd, software.data() + got, software.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (error != 0) return fail(kSoftwareReadText, std::strerror(error));
    if (got > size)
        return fail(kSoftwareReadText,
                    "longer than the " + std::to_string(size) + " bytes the file system reported");
    if (got < size)
        return fail(kSoftwareReadText, "only " + std::to_string(got) + " of the " +
                                           std::to_string(size) +
                                           " bytes the file system reported could be read");
    if (size == 0) return fail(kSoftwareEmptyText, "0 bytes");
    software.resize(got);
    return true;
}

std::string CommandFailedText(const std::string& line)
{
    std::string text = kCommandFailedFormat;
    text.replace(text.find("%s"), 2, line);
    return text;
}

namespace {

// Hears nothing and never stops: the observer of a conversation nobody watches.
COperationObserver& Unobserved()
{
    static struct CNobody final : COperationObserver {
    } nobody;
    return nobody;
}

}  // namespace

CCommunications::CCommunications(const CommTimings& timingValues, COperationObserver* observerOf,
                                 SerialTrace trace)
    : observer(observerOf != nullptr ? observerOf : &Unobserved()), timings(timingValues)
{
    if (trace) port.SetTrace(std::move(trace));
}

CCommunications::~CCommunications()
{
    ClosePort();
}

long long CCommunications::LineTimeMs(std::size_t bytes) const
{
    // Ten bits a byte: start, eight data bits, stop. The slowest rate when none is known.
    const long long rate = lineRate > 0 ? lineRate : 1200;
    return static_cast<long long>(bytes) * 10 * 1000 / rate;
}

long long CCommunications::ReplyDeadline(unsigned perByteMs, std::size_t bytes) const
{
    return NowMs() + perByteMs + kReplyMargin * LineTimeMs(bytes);
}

bool CCommunications::ReadByteBy(std::uint8_t& byte, unsigned perByteMs, long long deadline,
                                 Stoppable stop)
{
    const long long end = std::min(deadline, NowMs() + perByteMs);
    bool received = false;
    for (;;) {
        if (stop == Stoppable::Yes && StopRequested()) break;
        const long long left = end - NowMs();
        if (left <= 0) break;
        // In short slices when a stop may end the wait. A slice that fails well before its
        // time found the line broken (a hang-up, a device error), not quiet.
        const long long slice = stop == Stoppable::Yes ? std::min(left, kStopCheckMs) : left;
        port.SetTimeout(static_cast<unsigned>(slice));
        const long long started = NowMs();
        if (port.ReadByte(byte)) {
            received = true;
            break;
        }
        if (NowMs() - started < slice / 2) break;
    }
    port.SetTimeout(perByteMs);
    return received;
}

bool CCommunications::ReadUntilBy(std::string& text, std::string_view wanted, unsigned perByteMs,
                                  long long deadline, Stoppable stop)
{
    // Bytes come one at a time, so the text contains what we want exactly when it ends with
    // it. The byte limit keeps a fast stream without the text from filling the memory.
    for (std::size_t count = 0; count < CSerialPort::kMaxReadUntil; ++count) {
        std::uint8_t byte = 0;
        if (!ReadByteBy(byte, perByteMs, deadline, stop)) return false;
        text += static_cast<char>(byte);
        if (text.ends_with(wanted)) return true;
    }
    return false;
}

bool CCommunications::EnterCommandMode(const std::string& portName, int baudRate)
{
    errorText = kOpenFailedText;
    lineRate = 0;
    const std::string device = ResolvePortName(portName);
    if (device.empty()) {
        errorText += "\n" + DescribeOpenError(portName, kNoDeviceError);
        return false;
    }
    if (!port.Open(device, baudRate)) {
        errorText += "\n" + DescribeOpenError(device, port.GetOpenError());
        return false;
    }
    lineRate = baudRate;
    port.Flush();

    errorText = kEnterCommandModeText;
    if (StopRequested()) return false;
    std::string reply(1, kWakeUpByte);
    port.WriteString(reply);  // a lost byte shows as a missing banner
    const unsigned perByte = timings.bannerTimeoutMs;
    if (!ReadUntilBy(reply, std::string_view(&kPrompt, 1), perByte,
                     ReplyDeadline(perByte, kBannerBytes), Stoppable::Yes))
        return false;
    if (reply.find(kCommandModeMarker) == std::string::npos) return false;

    for (int attempt = 0; attempt < timings.handshakeAttempts && !StopRequested(); ++attempt)
        if (Exchange(kAcknowledgement, false)) return true;
    return false;
}

bool CCommunications::SendCommand(std::string line)
{
    return Exchange(line, true);
}

bool CCommunications::Exchange(const std::string& line, bool needAcknowledgement)
{
    errorText = CommandFailedText(line);
    // Once a stop is asked for, the unit gets nothing more.
    if (StopRequested()) return false;
    port.WriteString(line + "\n");  // a lost line shows as a missing reply
    std::string reply;
    const unsigned perByte = timings.commandTimeoutMs;
    if (!ReadUntilBy(reply, std::string_view(&kPrompt, 1), perByte,
                     ReplyDeadline(perByte, line.size() + kAnswerBytes), Stoppable::Yes))
        return false;
    // The handshake "OK" only needs the prompt.
    if (!needAcknowledgement) return true;
    // The unit echoes the line before it answers; only the answer may acknowledge it.
    std::string_view answer = reply;
    if (answer.starts_with(line)) answer.remove_prefix(line.size());
    return answer.find(kAcknowledgement) != std::string_view::npos;
}

bool CCommunications::QuerySettings(std::string& image)
{
    image.clear();
    errorText = kQueryFailedText;
    if (StopRequested() || !port.WriteString("PS\n")) return false;

    // The unit closes the image with "?>". The image may hold those bytes itself; it is then
    // cut there and the image reader rejects it.
    const unsigned perByte = port.GetTimeout();
    const long long deadline = ReplyDeadline(perByte, kSettingsReplyBytes);
    std::array<std::uint8_t, kSettingsBufferSize> reply{};
    std::size_t end = reply.size();  // bytes before the closing '>'
    for (std::size_t count = 0; count < reply.size(); ++count) {
        if (!ReadByteBy(reply[count], perByte, deadline, Stoppable::Yes)) return false;
        if (count > 0 && reply[count] == '>' && reply[count - 1] == '?') {
            end = count;
            break;
        }
    }

    errorText = kNoFileHeaderText;
    const auto last = reply.begin() + static_cast<std::ptrdiff_t>(end);
    const auto start = std::find(reply.begin(), last, kImageStartByte);
    if (start == last) return false;
    image.assign(start, last);
    return true;
}

bool CCommunications::ApplyHardware(int baudRate)
{
    errorText = kApplyHardwareText;
    if (StopRequested() || !port.WriteString("SH\n")) return false;
    // The unit moves to the new rate right after its echo: no prompt at the old rate.
    std::string reply;
    const unsigned echoPerByte = port.GetTimeout();
    if (!ReadUntilBy(reply, "SH", echoPerByte, ReplyDeadline(echoPerByte, kAnswerBytes),
                     Stoppable::Yes))
        return false;

    errorText = kApplyBaudText;
    if (!port.Configure(baudRate)) return false;
    lineRate = baudRate;

    errorText = kFindPromptText;
    const unsigned perByte = timings.promptAfterBaudMs;
    return ReadUntilBy(reply, std::string_view(&kPrompt, 1), perByte,
                       ReplyDeadline(perByte, kAnswerBytes), Stoppable::Yes);
}

bool CCommunications::InitFlash(int baudRate)
{
    errorText = kInitFlashText;
    if (StopRequested() || !port.WriteString("SX " + std::to_string(baudRate) + "\n")) return false;
    // Not cut short by a stop: the unit may be on its way into the bootloader, and only a
    // caller that knows it got there reboots it.
    std::string reply;
    const unsigned perByte = port.GetTimeout();
    if (!ReadUntilBy(reply, kReadyForFlash, perByte, ReplyDeadline(perByte, kAnswerBytes),
                     Stoppable::No))
        return false;

    errorText = kFlashBaudText;
    if (!port.Configure(baudRate)) return false;
    lineRate = baudRate;
    return true;
}

bool CCommunications::SendFrame(std::uint8_t* frame)
{
    if (FrameLengthOf(frame) > kFrameMaxData) return false;
    const std::size_t size = SealFrame(frame);
    return port.WriteBytes(frame, size);
}

bool CCommunications::SendEmptyFrame(std::uint8_t type)
{
    FrameBuffer frame{};
    SetFrameHeader(frame, type, 0, 0, 0);
    return SendFrame(frame);
}

bool CCommunications::ReceiveFrame(FrameBuffer& frame)
{
    return ReceiveFrameBy(frame, kNoDeadline, kNoDeadline, Stoppable::No);
}

bool CCommunications::ReceiveFrameBy(FrameBuffer& frame, long long startBy, long long deadline,
                                     Stoppable stop)
{
    long long by = startBy;
    return ReadFrame(
        [&](std::uint8_t* bytes, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i) {
                if (!ReadByteBy(bytes[i], timings.frameByteTimeoutMs, by, stop)) return false;
                by = deadline;
            }
            return true;
        },
        frame);
}

int CCommunications::Poll()
{
    return PollBy(kNoDeadline, kNoDeadline, Stoppable::No);
}

int CCommunications::PollBy(long long startBy, long long deadline, Stoppable stop)
{
    FrameBuffer frame;
    if (!ReceiveFrameBy(frame, startBy, deadline, stop)) return 0;
    switch (FrameTypeOf(frame)) {
        case FramePing: ReadPingReply(frame, bootInfo); break;
        case FrameData:
        case FrameDataAlternate:
            if (FrameStatusOf(frame) == kFrameAcknowledge)
                ackReceived = true;
            else
                refused = true;
            break;
        case FrameUserBlock:
            ackReceived = true;
            userBlockAddress = std::min(FrameValueOf(frame), kUserBlockEnd);
            break;
        default: break;
    }
    return FrameTypeOf(frame);
}

int CCommunications::WaitForFrame(int windowMs)
{
    return WaitForFrameBy(windowMs, Stoppable::No);
}

int CCommunications::WaitForFrameBy(int windowMs, Stoppable stop)
{
    const long long windowEnd = NowMs() + windowMs;
    // A frame that begins in the window may take what the largest frame needs on the line.
    const long long deadline = windowEnd + kReplyMargin * LineTimeMs(kFrameBufferSize);
    while (NowMs() < windowEnd && !(stop == Stoppable::Yes && StopRequested()))
        if (const int type = PollBy(windowEnd, deadline, stop); type != 0) return type;
    return 0;
}

bool CCommunications::Ping()
{
    errorText = kPingSendText;
    if (StopRequested() || !SendEmptyFrame(FramePing)) return false;
    errorText = kPingNoReplyText;
    return WaitForFrameBy(timings.pingWindowMs, Stoppable::Yes) != 0;
}

bool CCommunications::Reboot()
{
    // Not cut short by a stop: a reboot is what a stopped download ends with.
    errorText = kRebootSendText;
    if (!SendEmptyFrame(FrameReboot)) return false;
    Pause(timings.rebootPauseMs);
    errorText = kRebootNoReplyText;
    return WaitForFrameBy(timings.rebootWindowMs, Stoppable::No) == FrameReboot;
}

bool CCommunications::QueryUserBlock()
{
    userBlockAddress = kUserBlockEnd;
    ackReceived = false;
    for (int round = 0; round < timings.userBlockRounds && !ackReceived && !StopRequested();
         ++round) {
        errorText = kUserBlockSendText;
        if (!SendEmptyFrame(FrameUserBlock)) return false;
        // Each round waits as long as a block does for its acknowledgement.
        const long long deadline =
            NowMs() + timings.frameByteTimeoutMs + kReplyMargin * LineTimeMs(2 * kFrameOverhead);
        for (int poll = 0; poll < timings.userBlockPolls && !StopRequested() && !ackReceived &&
                           NowMs() < deadline;
             ++poll)
            if (PollBy(deadline, deadline, Stoppable::Yes) == 0)
                Pause(timings.userBlockPollPauseMs);
    }
    if (StopRequested()) {
        errorText = kDownloadAbortedText;
        return false;
    }
    if (!ackReceived) {
        errorText = kUserBlockNoReplyText;
        return false;
    }
    return true;
}

bool CCommunications::Download(const std::string& path, bool userBlockMode)
{
    std::vector<std::uint8_t> software;
    if (!ReadSoftwareFile(path, software, errorText)) return false;
    return Download(software, userBlockMode);
}

bool CCommunications::Download(const std::vector<std::uint8_t>& software, bool userBlockMode)
{
    const std::uint8_t type = userBlockMode ? FrameDataAlternate : FrameData;
    const std::size_t blockSize =
        std::min<std::size_t>(bootInfo.blockSize, kMaxBlockSize) & ~std::size_t(1);
    // Blocks of no bytes would never move the download on.
    if (blockSize < 2) {
        errorText = kBlockSizeText;
        return false;
    }
    if (StopRequested()) {
        errorText = kDownloadAbortedText;
        return false;
    }

    const std::size_t total = software.size();
    std::size_t regionLimit = kFlashRegionEnd;
    if (userBlockMode && total > kUserBlockEnd) {
        if (!QueryUserBlock()) return false;
        regionLimit = userBlockAddress;
    }

    int budget = timings.downloadTimeoutBudget;
    std::size_t offset = 0;
    std::size_t remaining = total;
    FrameBuffer frame{};
    while (!StopRequested() && remaining > 0) {
        std::size_t length = std::min(remaining, blockSize);
        if (offset < regionLimit) {
            length = std::min(length, regionLimit - offset);
        } else if (offset < kUserBlockEnd) {
            // The unit's user block: the unit keeps what it holds there.
            remaining -= std::min(remaining, kUserBlockEnd - offset);
            offset = kUserBlockEnd;
            continue;
        }

        SetFrameHeader(frame, type, 0, length, static_cast<std::uint32_t>(offset));
        std::memcpy(FrameDataOf(frame), software.data() + offset, length);
        for (;;) {
            ackReceived = false;
            refused = false;
            if (!SendFrame(frame)) {
                errorText = kBlockSendText;
                return false;
            }
            // The block and its acknowledgement must cross the line first, then the unit has
            // the frame time-out to answer. A refusal ends the wait at once; damaged frames
            // do not, nor do they extend it.
            const long long deadline = NowMs() + timings.frameByteTimeoutMs +
                                       kReplyMargin * LineTimeMs(length + 2 * kFrameOverhead);
            for (int poll = 0; poll < timings.ackPolls && !ackReceived && !refused &&
                               !StopRequested() && NowMs() < deadline;
                 ++poll)
                PollBy(deadline, deadline, Stoppable::Yes);
            if (StopRequested()) break;
            if (ackReceived) {
                offset += length;
                remaining -= length;
                observer->ShowProgress(offset, total);
                break;
            }
            if (--budget <= 0) {
                errorText = kDownloadTimeoutText;
                return false;
            }
        }
    }

    if (StopRequested()) {
        errorText = kDownloadAbortedText;
        return false;
    }
    return true;
}
