#include "comm/Communications.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "comm/PortNames.h"
#include "config/ConfigImage.h"

namespace {

void Pause(int milliseconds)
{
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The whole of a regular file; false when it cannot be opened or is not a file.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    bytes.resize(static_cast<std::size_t>(info.st_size));
    // A file that turns out shorter than it said is sent as far as it could be read.
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    ::close(fd);
    return true;
}

}  // namespace

std::string CommandFailedText(const std::string& line)
{
    std::string text = kCommandFailedFormat;
    text.replace(text.find("%s"), 2, line);
    return text;
}

CCommunications::CCommunications(const CommTimings& timingValues) : timings(timingValues) {}

CCommunications::~CCommunications()
{
    ClosePort();
}

bool CCommunications::EnterCommandMode(int portNumber, int baudRate)
{
    return EnterCommandMode(PortLabel(portNumber, "", false), baudRate);
}

bool CCommunications::EnterCommandMode(const std::string& portName, int baudRate)
{
    errorText = kOpenFailedText;
    const std::string device = ResolvePortName(portName);
    if (device.empty()) {
        errorText += "\n" + DescribeOpenError(portName, ENODEV);
        return false;
    }
    if (!port.Open(device, baudRate)) {
        errorText += "\n" + DescribeOpenError(device, port.GetOpenError());
        return false;
    }
    port.Flush();

    errorText = kEnterCommandModeText;
    std::string reply(1, kWakeUpByte);
    port.WriteString(reply);  // a lost byte shows as a missing banner
    if (!port.ReadUntil(reply, timings.bannerTimeoutMs, kPrompt)) return false;
    if (reply.find(kCommandModeMarker) == std::string::npos) return false;

    for (int attempt = 0; attempt < timings.handshakeAttempts; ++attempt)
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
    port.WriteString(line + "\n");  // a lost line shows as a missing reply
    std::string reply;
    if (!port.ReadUntil(reply, timings.commandTimeoutMs, kPrompt)) return false;
    // The handshake "OK" only needs the prompt.
    if (!needAcknowledgement) return true;
    // The unit echoes the line before it answers; only the answer may acknowledge it.
    std::string_view answer = reply;
    if (answer.starts_with(line)) answer.remove_prefix(line.size());
    return answer.find(kAcknowledgement) != std::string_view::npos;
}

bool CCommunications::ReadUntilText(std::string& text, std::string_view wanted)
{
    // Bytes come one at a time, so the text contains what we want exactly when it ends with it.
    while (text.size() < CSerialPort::kMaxReadUntil) {
        std::uint8_t byte = 0;
        if (!port.ReadByte(byte)) return false;
        text += static_cast<char>(byte);
        if (text.ends_with(wanted)) return true;
    }
    return false;
}

bool CCommunications::QuerySettings(std::string& image)
{
    image.clear();
    errorText = kQueryFailedText;
    if (!port.WriteString("PS\n")) return false;

    // The unit closes the image with "?>". The image may hold those bytes itself; it is then
    // cut there and the image reader rejects it.
    std::array<std::uint8_t, kSettingsBufferSize> reply{};
    std::size_t end = reply.size();  // bytes before the closing '>'
    for (std::size_t count = 0; count < reply.size(); ++count) {
        if (!port.ReadByte(reply[count])) return false;
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
    if (!port.WriteString("SH\n")) return false;
    // The unit moves to the new rate right after its echo: no prompt at the old rate.
    std::string reply;
    if (!ReadUntilText(reply, "SH")) return false;

    errorText = kApplyBaudText;
    if (!port.Configure(baudRate)) return false;

    errorText = kFindPromptText;
    return port.ReadUntil(reply, timings.promptAfterBaudMs, kPrompt);
}

bool CCommunications::InitFlash(int baudRate)
{
    errorText = kInitFlashText;
    if (!port.WriteString("SX " + std::to_string(baudRate) + "\n")) return false;
    std::string reply;
    if (!ReadUntilText(reply, kReadyForFlash)) return false;

    errorText = kFlashBaudText;
    return port.Configure(baudRate);
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
    const unsigned timeout = timings.frameByteTimeoutMs;
    return ReadFrame(
        [this, timeout](std::uint8_t* bytes, std::size_t count) {
            return port.ReadExact(bytes, count, timeout);
        },
        frame);
}

int CCommunications::Poll()
{
    FrameBuffer frame;
    if (!ReceiveFrame(frame)) return 0;
    switch (FrameTypeOf(frame)) {
        case FramePing: ReadPingReply(frame, bootInfo); break;
        case FrameData:
        case FrameDataAlternate:
            if (FrameStatusOf(frame) == kFrameAcknowledge) ackReceived = true;
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
    const long long deadline = NowMs() + windowMs;
    while (NowMs() < deadline)
        if (const int type = Poll(); type != 0) return type;
    return 0;
}

bool CCommunications::Ping()
{
    errorText = kPingSendText;
    if (!SendEmptyFrame(FramePing)) return false;
    errorText = kPingNoReplyText;
    return WaitForFrame(timings.pingWindowMs) != 0;
}

bool CCommunications::Reboot()
{
    errorText = kRebootSendText;
    if (!SendEmptyFrame(FrameReboot)) return false;
    Pause(timings.rebootPauseMs);
    errorText = kRebootNoReplyText;
    return WaitForFrame(timings.rebootWindowMs) == FrameReboot;
}

bool CCommunications::QueryUserBlock()
{
    userBlockAddress = kUserBlockEnd;
    ackReceived = false;
    for (int round = 0; round < timings.userBlockRounds && !ackReceived && !abortRequested;
         ++round) {
        errorText = kUserBlockSendText;
        if (!SendEmptyFrame(FrameUserBlock)) return false;
        for (int poll = 0; poll < timings.userBlockPolls && !abortRequested && !ackReceived; ++poll)
            if (Poll() == 0) Pause(timings.userBlockPollPauseMs);
    }
    if (abortRequested) {
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
    percentComplete = 0.0;
    abortRequested = false;
    const std::uint8_t type = userBlockMode ? FrameDataAlternate : FrameData;
    const std::size_t blockSize =
        std::min<std::size_t>(bootInfo.blockSize, kMaxBlockSize) & ~std::size_t(1);
    // Blocks of no bytes would never move the download on.
    if (blockSize < 2) {
        errorText = kBlockSizeText;
        return false;
    }

    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(path, file)) {
        errorText = kDownloadFileText;
        return false;
    }
    if (abortRequested) {
        errorText = kDownloadAbortedText;
        return false;
    }

    const std::size_t total = file.size();
    std::size_t regionLimit = kFlashRegionEnd;
    if (userBlockMode && total > kUserBlockEnd) {
        if (!QueryUserBlock()) return false;
        regionLimit = userBlockAddress;
    }

    int budget = timings.downloadTimeoutBudget;
    std::size_t offset = 0;
    std::size_t remaining = total;
    FrameBuffer frame{};
    while (!abortRequested && remaining > 0) {
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
        std::memcpy(FrameDataOf(frame), file.data() + offset, length);
        for (;;) {
            ackReceived = false;
            if (!SendFrame(frame)) {
                errorText = kBlockSendText;
                return false;
            }
            for (int poll = 0; poll < timings.ackPolls && !ackReceived && !abortRequested; ++poll)
                Poll();
            if (abortRequested) break;
            if (ackReceived) {
                offset += length;
                remaining -= length;
                percentComplete = double(offset) / double(total) * 100.0;
                if (display != nullptr) display->UpdateProgress();
                break;
            }
            if (--budget <= 0) {
                errorText = kDownloadTimeoutText;
                return false;
            }
        }
    }

    if (abortRequested) {
        errorText = kDownloadAbortedText;
        return false;
    }
    return true;
}
