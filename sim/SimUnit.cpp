#include "sim/SimUnit.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "comm/Communications.h"
#include "comm/PortNames.h"
#include "config/Checksum.h"
#include "config/ConfigImage.h"
#include "sim/Pty.h"
#include "sim/SimCommands.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long before a paced answer's last byte is due the unit's thread wakes to deliver it.
constexpr auto kPunctualWakeUp = std::chrono::microseconds(300);

// The unit's own words around what the tool looks for.
constexpr char kBannerStart[] = "\r\nWeirlink data hub, software 2.14\r\n";
const std::string kOkReply = std::string(kAcknowledgement) + "\r\n" + kPrompt;
const std::string kErrorReply = std::string("ERROR\r\n") + kPrompt;  // carries no "OK"
constexpr char kImageIntro[] = "Configuration image follows\r\n";
constexpr char kNoImageText[] = "No configuration stored\r\n";
constexpr char kImageEnd[] = "?>";
constexpr std::size_t kMaxLine = 512;
constexpr std::uint8_t kNak = 0x15;
constexpr std::uint32_t kPingValueHigh = 0xB0070000;  // the tool must ignore the high half
// How often an idle unit looks whether a killed tool left its terminal exclusive.
constexpr int kIdleCheckMs = 200;

// Drops the oldest half once a list has grown to twice the limit.
template <class T>
void Trim(std::vector<T>& list, std::size_t limit)
{
    if (list.size() >= 2 * limit)
        list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(list.size() - limit));
}

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

std::uint32_t GetLittleEndian(const std::uint8_t* bytes, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

std::string EncodeFrame(std::uint8_t type, std::uint8_t status, std::uint32_t value,
                        const std::string& data)
{
    std::string frame;
    frame += static_cast<char>(kFrameStart);
    frame += static_cast<char>(type);
    frame += static_cast<char>(status);
    PutLittleEndian(frame, static_cast<std::uint32_t>(data.size()), 2);
    PutLittleEndian(frame, value, 4);
    frame += data;
    PutLittleEndian(frame, ComputeChecksum(frame.data(), frame.size()), 2);
    return frame;
}

}  // namespace

struct CSimUnit::State {
    // A piece of output and the rate it goes out at.
    struct Chunk {
        std::string bytes;
        int rate;
    };
    enum class Mode { Idle, Command, Boot };

    SimOptions options;
    CPty pty;
    int stopPipe[2] = {-1, -1};
    std::thread thread;
    std::string announcedLink;
    // With pace: when the line in each direction has carried everything given to it.
    Clock::time_point sendLineFree{};
    Clock::time_point receiveLineFree{};
    // When the bytes being answered were all in: the unit's reply may start on the line then,
    // however late this thread woke up for it.
    Clock::time_point answerFrom{};

    mutable std::mutex mutex;  // guards everything below
    UnitConfig config{};
    SimFaults faults;
    std::vector<int> lineFaultsLeft;
    int naksLeft = 0;
    int corruptAcksLeft = 0;
    SimLog log;
    std::vector<std::uint8_t> flash;
    int rate = 0;
    Mode mode = Mode::Idle;
    SimSession session;
    int linesReceived = 0;
    std::string line;
    std::vector<std::uint8_t> frame;
    int acknowledgedFrames = 0;
    bool dead = false;
    std::vector<Chunk> outbox;

    void Run();
    bool StopRequested() const;
    bool WaitForStop(int milliseconds) const;
    // Waits until the moment, to the microsecond; true when asked to stop meanwhile.
    bool WaitForStopUntil(Clock::time_point moment) const;
    // When `count` bytes given to a paced line now, behind what it still carries, are through.
    // A line that is idle now starts at `from` at the earliest.
    static Clock::time_point LineDone(Clock::time_point& lineFree, std::size_t count, int rate,
                                      Clock::time_point from);
    void Transmit(const Chunk& chunk);
    bool WriteAll(const char* bytes, std::size_t count);

    // With the mutex held: act on received bytes, queueing the answers in outbox.
    void Receive(const std::uint8_t* bytes, std::size_t count);
    void TrimLog()
    {
        const std::size_t limit = std::max<std::size_t>(options.logLimit, 1);
        Trim(log.lines, limit);
        Trim(log.dataFrames, limit);
        Trim(log.zeroedTotalizers, limit);
        Trim(log.outputTests, limit);
    }
    void Say(std::string bytes) { outbox.push_back({std::move(bytes), rate}); }
    void Monitor(const std::string& text) const
    {
        if (options.monitor) options.monitor(text);
    }
    void Banner();
    void HandleLine();
    std::optional<SimLineFault::Kind> TakeLineFault(const std::string& text);
    void SendImage();
    void StartBootloader(const std::string& text);
    void FrameByte(std::uint8_t byte);
    void HandleFrame();
    void HandleDataFrame(std::uint8_t type, std::uint32_t offset, const std::uint8_t* data,
                         std::size_t length);
    int ConfigPortRate() const
    {
        return static_cast<int>(config.serialPort[PortConfiguration].baudRate);
    }
};

void CSimUnit::State::Run()
{
    // A paced line wakes this thread when a message is through; the usual 50 us of timer
    // slack on each wake-up would add to every exchange what no real line takes.
    if (options.pace) ::prctl(PR_SET_TIMERSLACK, 1UL);
    if (options.realTime) {
        const sched_param priority{::sched_get_priority_min(SCHED_FIFO)};
        (void)::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority);
    }
    std::uint8_t buffer[4096];
    for (;;) {
        pty.ClearAbandonedExclusive();
        pollfd fds[2] = {{pty.MasterFd(), POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, kIdleCheckMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (ready == 0) continue;
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) {
            // No reader on the other side yet; we hold the slave open, so this passes.
            WaitForStop(5);
            continue;
        }
        const ssize_t got = ::read(pty.MasterFd(), buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (WaitForStop(5)) return;
            continue;
        }
        // The tool's bytes all arrive at once through the pty; on a line they would take
        // their time, and the unit can answer only once the last of them is in.
        answerFrom = Clock::now();
        if (options.pace && pty.SlaveBaudRate() > 0) {
            answerFrom =
                LineDone(receiveLineFree, std::size_t(got), pty.SlaveBaudRate(), answerFrom);
            if (WaitForStopUntil(answerFrom)) return;
        }
        std::vector<Chunk> answers;
        {
            std::lock_guard lock(mutex);
            Receive(buffer, static_cast<std::size_t>(got));
            TrimLog();
            answers.swap(outbox);
        }
        for (const Chunk& chunk : answers) {
            if (StopRequested()) return;
            Transmit(chunk);
        }
    }
}

bool CSimUnit::State::WaitForStop(int milliseconds) const
{
    pollfd entry{stopPipe[0], POLLIN, 0};
    return ::poll(&entry, 1, milliseconds) > 0;
}

bool CSimUnit::State::WaitForStopUntil(Clock::time_point moment) const
{
    const auto left = moment - Clock::now();
    if (left <= Clock::duration::zero()) return StopRequested();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>((left - seconds) / std::chrono::nanoseconds(1))};
    pollfd entry{stopPipe[0], POLLIN, 0};
    return ::ppoll(&entry, 1, &timeout, nullptr) > 0;
}

Clock::time_point CSimUnit::State::LineDone(Clock::time_point& lineFree, std::size_t count,
                                            int rate, Clock::time_point from)
{
    // Ten bits a byte: start, eight data bits, stop. The schedule runs on from byte to byte,
    // so a late wake-up does not slow the average; an idle line starts afresh.
    if (lineFree < from) lineFree = from;
    lineFree += std::chrono::nanoseconds(std::int64_t(count) * 10'000'000'000LL / rate);
    return lineFree;
}

bool CSimUnit::State::StopRequested() const
{
    return WaitForStop(0);
}

bool CSimUnit::State::WriteAll(const char* bytes, std::size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(pty.MasterFd(), bytes, count);
        if (written > 0) {
            bytes += written;
            count -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno != EAGAIN) return false;
        // The tool is not reading; wait for room, or for the end.
        pollfd fds[2] = {{pty.MasterFd(), POLLOUT, 0}, {stopPipe[0], POLLIN, 0}};
        ::poll(fds, 2, -1);
        if (fds[1].revents != 0) return false;
    }
    return true;
}

void CSimUnit::State::Transmit(const Chunk& chunk)
{
    // The tool may still be switching to our new rate; give it a moment before the bytes
    // become what a line at the wrong rate delivers.
    std::string bytes = chunk.bytes;
    const auto deadline = Clock::now() + std::chrono::milliseconds(options.rateGraceMs);
    while (pty.SlaveBaudRate() != chunk.rate) {
        if (Clock::now() >= deadline) {
            bytes.assign(bytes.size(), '\xFF');
            break;
        }
        if (WaitForStop(2)) return;
        answerFrom = Clock::now();  // the reply could not start before the tool followed
    }

    if (!options.pace || chunk.rate <= 0) {
        WriteAll(bytes.data(), bytes.size());
        return;
    }
    // About a millisecond's worth at a time keeps the pace smooth without a system call per
    // byte. A byte reaches the tool once its stop bit is out, so each piece is written when
    // the line would have carried the whole of it.
    const std::size_t piece = std::max<std::size_t>(1, std::size_t(chunk.rate) / 10000);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::size_t count = std::min(piece, bytes.size() - at);
        const Clock::time_point due = LineDone(sendLineFree, count, chunk.rate, answerFrom);
        if (at + count < bytes.size()) {
            if (WaitForStopUntil(due)) return;
        } else {
            // The tool waits for the last byte of an answer, so that one comes on time, as
            // a line delivers it: a wake-up here is 0.05 to 0.1 ms late, which cost a send at
            // 57600 a fortieth of the line. The last moments are spent awake.
            if (WaitForStopUntil(due - kPunctualWakeUp)) return;
            while (Clock::now() < due) {
            }
        }
        if (!WriteAll(bytes.data() + at, count)) return;
    }
}

void CSimUnit::State::Receive(const std::uint8_t* bytes, std::size_t count)
{
    // Bytes sent at another rate arrive as framing errors: the unit sees nothing it can use.
    if (pty.SlaveBaudRate() != rate || faults.silent) return;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        if (mode == Mode::Boot) {
            FrameByte(byte);
        } else if (byte == kWakeUpByte) {
            Banner();
        } else if (mode == Mode::Command) {
            if (byte == '\n') {
                HandleLine();
            } else if (byte != '\r' && line.size() <= kMaxLine) {  // longer lines are refused
                line += static_cast<char>(byte);
            }
        }
    }
}

void CSimUnit::State::Banner()
{
    ++log.banners;
    mode = Mode::Command;
    line.clear();
    session = {};
    std::string banner = kBannerStart;
    if (!faults.bannerWithoutMarker) banner += std::string(kCommandModeMarker) + "\r\n";
    Say(banner + kPrompt);
}

std::optional<SimLineFault::Kind> CSimUnit::State::TakeLineFault(const std::string& text)
{
    for (std::size_t i = 0; i < faults.lineFaults.size(); ++i) {
        const SimLineFault& fault = faults.lineFaults[i];
        if (!text.starts_with(fault.prefix)) continue;
        if (fault.lineNumber != 0 && fault.lineNumber != linesReceived) continue;
        if (lineFaultsLeft[i] == 0) continue;
        if (lineFaultsLeft[i] > 0) --lineFaultsLeft[i];
        return fault.kind;
    }
    return std::nullopt;
}

void CSimUnit::State::HandleLine()
{
    const std::string text = std::move(line);
    line.clear();
    ++linesReceived;
    log.lines.push_back(text);
    Monitor("line: " + text);

    const std::optional<SimLineFault::Kind> fault = TakeLineFault(text);
    if (fault == SimLineFault::Kind::Silent) return;
    Say(text + "\r\n");  // the unit echoes what it was sent
    if (fault == SimLineFault::Kind::EchoOnly) return;
    if (fault == SimLineFault::Kind::ErrorReply || text.size() > kMaxLine) {
        Say(kErrorReply);
        return;
    }

    if (text == "PS") {
        SendImage();
    } else if (text == "SH") {
        ++log.hardwareApplies;
        rate = ConfigPortRate();
        Say(kOkReply);
    } else if (text.starts_with("SX")) {
        StartBootloader(text);
    } else {
        Say(ApplyCommandLine(text, config, session, log) ? kOkReply : kErrorReply);
    }
}

void CSimUnit::State::SendImage()
{
    std::string reply = kImageIntro;
    if (faults.image == SimImageFault::NoStartByte) {
        Say(reply + kNoImageText + kImageEnd);
        return;
    }
    UnitConfig answered = config;
    if (faults.alteredRecordByte >= 0 &&
        static_cast<std::size_t>(faults.alteredRecordByte) < sizeof answered)
        reinterpret_cast<std::uint8_t*>(&answered)[faults.alteredRecordByte] ^= 0x01;
    std::ostringstream image;
    WriteConfigImage(answered, image);
    std::string bytes = image.str();
    if (faults.image == SimImageFault::BadChecksum) bytes[offsetof(ImageHeader, checksum)] ^= 0x5A;
    reply += bytes;
    if (faults.image == SimImageFault::Unterminated)
        reply += std::string(1100, '.');
    else
        reply += kImageEnd;
    Say(reply);
}

void CSimUnit::State::StartBootloader(const std::string& text)
{
    long newRate = 0;
    if (std::sscanf(text.c_str(), "SX %ld", &newRate) != 1 || newRate <= 0 || newRate > 4000000 ||
        text != "SX " + std::to_string(newRate)) {
        Say(kErrorReply);
        return;
    }
    Say(std::string(kReadyForFlash) + "\r\n");
    rate = static_cast<int>(newRate);
    mode = Mode::Boot;
    frame.clear();
    dead = false;
    acknowledgedFrames = 0;
}

void CSimUnit::State::FrameByte(std::uint8_t byte)
{
    if (dead) return;
    if (frame.empty() && byte != kFrameStart) return;  // noise between frames
    frame.push_back(byte);
    if (frame.size() < 9) return;
    const std::size_t length = GetLittleEndian(&frame[3], 2);
    if (length > kFrameMaxData) {
        ++log.badFrames;
        frame.clear();
        return;
    }
    if (frame.size() < 9 + length + 2) return;
    const std::uint32_t check = GetLittleEndian(&frame[9 + length], 2);
    if (check == ComputeChecksum(frame.data(), 9 + length))
        HandleFrame();
    else
        ++log.badFrames;
    frame.clear();
}

void CSimUnit::State::HandleFrame()
{
    const std::uint8_t type = frame[1];
    const std::uint32_t value = GetLittleEndian(&frame[5], 4);
    const std::size_t length = GetLittleEndian(&frame[3], 2);
    switch (type) {
        case FramePing: {
            ++log.pings;
            Monitor("frame: ping");
            if (faults.pingSilent) return;
            const std::string text = faults.pingEmptyReply ? "" : options.bootText + '\0';
            Say(EncodeFrame(FramePing, 0, kPingValueHigh | options.blockSize, text));
            return;
        }
        case FrameData:
        case FrameDataAlternate: HandleDataFrame(type, value, &frame[9], length); return;
        case FrameReboot:
            ++log.reboots;
            Monitor("frame: reboot");
            if (faults.rebootSilent) return;
            if (faults.rebootWrongTypeFirst) Say(EncodeFrame(FramePing, 0, 0, ""));
            Say(EncodeFrame(FrameReboot, 0, 0, ""));
            mode = Mode::Idle;
            rate = ConfigPortRate();
            return;
        case FrameUserBlock:
            ++log.userBlockQueries;
            Monitor("frame: user block query");
            if (!faults.userBlockSilent)
                Say(EncodeFrame(FrameUserBlock, 0, options.userBlockAddress, ""));
            return;
        default: return;
    }
}

void CSimUnit::State::HandleDataFrame(std::uint8_t type, std::uint32_t offset,
                                      const std::uint8_t* data, std::size_t length)
{
    SimDataFrame record{type, offset, length, false};
    if (faults.deadAfterFrames >= 0 && acknowledgedFrames >= faults.deadAfterFrames) {
        dead = true;
        log.dataFrames.push_back(record);
        Monitor("frame: data, line dead from here");
        return;
    }
    bool accept = length > 0 && length <= options.blockSize && offset < kSimFlashSize &&
                  length <= kSimFlashSize - offset;
    if (naksLeft > 0) {
        --naksLeft;
        accept = false;
    }
    if (accept) {
        // Blocks of a download that keeps the user block never overwrite it.
        bool touchedUserBlock = false;
        for (std::size_t i = 0; i < length; ++i) {
            const std::size_t address = offset + i;
            if (type == FrameDataAlternate && address >= options.userBlockAddress &&
                address < kUserBlockEnd)
                touchedUserBlock = true;
            else
                flash[address] = data[i];
        }
        if (touchedUserBlock) ++log.userBlockWrites;
        ++acknowledgedFrames;
    }
    record.acknowledged = accept;
    log.dataFrames.push_back(record);
    Monitor("frame: data at " + std::to_string(offset) + ", " + std::to_string(length) +
            " bytes, " + (accept ? "acknowledged" : "refused"));

    const std::string reply = EncodeFrame(type, accept ? kFrameAcknowledge : kNak, offset, "");
    if (accept && corruptAcksLeft > 0) {
        --corruptAcksLeft;
        std::string damaged = reply;
        damaged.back() ^= 0x01;
        Say(damaged);
        if (faults.repeatCorruptAck) Say(reply);
        return;
    }
    Say(reply);
}

CSimUnit::CSimUnit(const UnitConfig& config, const SimOptions& options)
    : state(std::make_unique<State>())
{
    state->options = options;
    state->config = config;
    state->rate = options.baudRate > 0 ? options.baudRate : state->ConfigPortRate();
    state->flash.assign(kSimFlashSize, kSimErasedByte);
    for (std::size_t address = options.userBlockAddress; address < kUserBlockEnd; ++address)
        state->flash[address] = kSimUserBlockByte;
}

CSimUnit::CSimUnit()
    : CSimUnit(
          [] {
              UnitConfig defaults;
              SetDefaults(defaults);
              return defaults;
          }(),
          SimOptions{})
{
}

CSimUnit::~CSimUnit()
{
    Stop();
}

bool CSimUnit::Start()
{
    if (state->thread.joinable()) return true;
    if (!state->pty.Open(state->rate)) return false;
    const int flags = ::fcntl(state->pty.MasterFd(), F_GETFL);
    ::fcntl(state->pty.MasterFd(), F_SETFL, flags | O_NONBLOCK);
    if (::pipe2(state->stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        state->pty.Close();
        return false;
    }
    state->thread = std::thread([this] { state->Run(); });
    return true;
}

void CSimUnit::Stop()
{
    if (state->thread.joinable()) {
        const char stop = 1;
        (void)!::write(state->stopPipe[1], &stop, 1);
        state->thread.join();
    }
    Unannounce();
    for (int& fd : state->stopPipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    state->pty.Close();
}

std::string CSimUnit::DevicePath() const
{
    return state->pty.SlavePath();
}

std::string CSimUnit::Announce(const std::string& folder)
{
    static std::atomic<int> instances{0};
    Unannounce();
    const std::string dir = folder.empty() ? SimAnnounceDir() : folder;
    ::mkdir(dir.c_str(), 0700);
    // The folder may sit in /tmp: use it only when it is ours and a real folder.
    struct stat info {};
    if (::lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return "";
    RemoveStaleAnnouncements(dir);
    const int instance = instances++;
    std::string link = dir + "/" + std::to_string(::getpid());
    if (instance > 0) link += "." + std::to_string(instance);
    ::unlink(link.c_str());  // left behind by an earlier process with our id
    if (::symlink(DevicePath().c_str(), link.c_str()) != 0) return "";
    state->announcedLink = link;
    return link;
}

void CSimUnit::Unannounce()
{
    if (state->announcedLink.empty()) return;
    ::unlink(state->announcedLink.c_str());
    state->announcedLink.clear();
}

void CSimUnit::SetFaults(const SimFaults& faults)
{
    std::lock_guard lock(state->mutex);
    state->faults = faults;
    state->lineFaultsLeft.clear();
    for (const SimLineFault& fault : faults.lineFaults)
        state->lineFaultsLeft.push_back(fault.times);
    state->naksLeft = faults.nakFrames;
    state->corruptAcksLeft = faults.corruptAcks;
}

UnitConfig CSimUnit::Config() const
{
    std::lock_guard lock(state->mutex);
    return state->config;
}

void CSimUnit::SetConfig(const UnitConfig& config)
{
    std::lock_guard lock(state->mutex);
    state->config = config;
}

SimLog CSimUnit::Log() const
{
    std::lock_guard lock(state->mutex);
    return state->log;
}

void CSimUnit::ClearLog()
{
    std::lock_guard lock(state->mutex);
    state->log = {};
}

std::vector<std::uint8_t> CSimUnit::FlashMemory() const
{
    std::lock_guard lock(state->mutex);
    return state->flash;
}

int CSimUnit::BaudRate() const
{
    std::lock_guard lock(state->mutex);
    return state->rate;
}
