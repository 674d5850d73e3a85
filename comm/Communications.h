// The conversation with one unit over one serial port: its command mode (text lines, each
// answered up to the prompt '>') and its bootloader (binary frames, see comm/Frame.h).
//
// Calling order: EnterCommandMode; any number of SendCommand; then at most one of
// QuerySettings, ApplyHardware or InitFlash (followed by Ping, Download, Reboot); then
// ClosePort, on every path. Every operation returns false on failure; before each step it
// writes the words that describe the step into the error text, so after a failure
// GetErrorText tells which step failed. A failed operation leaves the port open.
//
// Every wait is bounded twice: each byte by its own time-out, and each reply as a whole by
// the time its bytes take on the line at the current rate, with a wide margin, on top of
// one such time-out. A unit that trickles bytes without ever finishing its reply, or a
// bootloader that keeps refusing, fails the step in seconds rather than hours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "comm/Frame.h"
#include "comm/OperationObserver.h"
#include "comm/SerialPort.h"

// The unit's and the tool's texts, one home each.
inline constexpr char kOpenFailedText[] = "Failed to open serial port, check it is not in use";
inline constexpr char kEnterCommandModeText[] = "Failed to enter command mode, check connection";
inline constexpr char kCommandFailedFormat[] = "The command \"%s\" failed.";
inline constexpr char kQueryFailedText[] = "Failed to query the device";
inline constexpr char kNoFileHeaderText[] = "Failed to find file header, connection may be bad.";
inline constexpr char kApplyHardwareText[] = "Failed to apply hardware";
inline constexpr char kApplyBaudText[] = "Failed to apply new baud";
inline constexpr char kFindPromptText[] = "Failed find prompt";
inline constexpr char kInitFlashText[] = "Failed to initialize flash";
inline constexpr char kFlashBaudText[] = "Failed to set baud for download";
inline constexpr char kPingSendText[] = "Failed to send ping request";
inline constexpr char kPingNoReplyText[] = "No response to ping request";
inline constexpr char kRebootSendText[] = "Failed to send reboot request";
inline constexpr char kRebootNoReplyText[] = "No response to reboot request";
inline constexpr char kDownloadFileText[] = "Could not open the download file";
inline constexpr char kUserBlockSendText[] = "Failed to transmit query Userblock Addr!";
inline constexpr char kUserBlockNoReplyText[] = "Failed to read user block";
inline constexpr char kBlockSendText[] = "Failed to transmit block";
inline constexpr char kDownloadTimeoutText[] = "Timed out waiting for a response during download";
inline constexpr char kDownloadAbortedText[] = "Download aborted at user request";
inline constexpr char kBlockSizeText[] = "The unit reported a block size too small to download";
inline constexpr char kSoftwareReadText[] = "Could not read the download file";
inline constexpr char kSoftwareEmptyText[] = "The download file is empty";
inline constexpr char kSoftwareTooLargeText[] =
    "The download file is too large to be unit software";

// "The command "<line>" failed."
std::string CommandFailedText(const std::string& line);

// The wire's fixed strings.
inline constexpr char kWakeUpByte = 0x04;
inline constexpr char kPrompt = '>';
inline constexpr char kCommandModeMarker[] = "[ENTERED CONTROL MODE]";
inline constexpr char kAcknowledgement[] = "OK";
inline constexpr char kReadyForFlash[] = "Ready for flash...";

// The unit's user block ends here; it starts at the address the unit reports, and a
// download that keeps it sends nothing in between.
inline constexpr std::uint32_t kUserBlockEnd = 0x40000;
// How far a download may write when no user block was asked for.
inline constexpr std::uint32_t kFlashRegionEnd = 0x100000;
// Largest block sent in one frame; never more than the unit takes, and always even.
inline constexpr std::size_t kMaxBlockSize = 1024;
// The reply to "PS" is read into this many bytes at most.
inline constexpr std::size_t kSettingsBufferSize = 1024;
// A software file larger than this is refused before the unit is touched. The unit's flash
// region ends at 1 MiB; sixteen times that leaves room for any image to come, while a file
// of the wrong kind (a disk image, a sparse file of a terabyte) never gets allocated.
inline constexpr std::size_t kMaxSoftwareSize = 16 * 1024 * 1024;

// Reads a software file whole before anything is sent: a read error, or a length other than
// the one the file system reported, fails with the path and the reason on a second line, so
// that a unit never gets part of a file as if it were all of it. Pipes and devices are
// refused without waiting; so are empty files and files above kMaxSoftwareSize.
bool ReadSoftwareFile(const std::string& path, std::vector<std::uint8_t>& software,
                      std::string& errorText);

// Every wait, pause and count of the protocol, with the unit's real values. Tests pass a
// scaled copy so that failure paths run in milliseconds.
struct CommTimings {
    unsigned bannerTimeoutMs = 4000;      // each byte of the command-mode banner
    unsigned commandTimeoutMs = 6000;     // each byte of a command's reply
    unsigned promptAfterBaudMs = 4000;    // each byte up to the prompt at a new rate
    unsigned frameByteTimeoutMs = 10000;  // each byte of a bootloader frame
    int handshakeAttempts = 3;            // "OK" lines after the banner
    int pingWindowMs = 3000;              // the ping reply must start within this
    int rebootWindowMs = 3000;            // likewise the reboot reply
    int rebootPauseMs = 500;              // between reboot request and the wait
    int ackPolls = 199;                   // frames, good or damaged, one block waits through
    int downloadTimeoutBudget = 5;        // the wait that uses it up fails the download
    int userBlockRounds = 3;              // user-block queries
    int userBlockPolls = 49;              // frames waited through after each query
    int userBlockPollPauseMs = 20;        // after a poll that got no frame

    // Pauses of the operations built on this object (device/): they live here so that one
    // scaled copy shortens every wait.
    int commandRetryPauseMs = 1000;  // before a failed command line is sent again
    int flashStartPauseMs = 5000;    // after InitFlash, before the first ping
    int flashRebootPauseMs = 2500;   // after a download, before Reboot
};

class CCommunications {
public:
    // The observer (not owned; none: nobody listens, nothing stops) is told a download's
    // progress after each acknowledged block, in bytes of the file, and asked at every check
    // whether to stop: a stop ends the operation under way, which fails. Any wait notices it
    // within a few hundredths of a second, except the two that see a step through: the
    // unit's answer to "SX" and the reply to a reboot. With trace, every byte on the line.
    explicit CCommunications(const CommTimings& timings = {},
                             COperationObserver* observer = nullptr, SerialTrace trace = {});
    ~CCommunications();
    CCommunications(const CCommunications&) = delete;
    CCommunications& operator=(const CCommunications&) = delete;

    // --- command mode ---

    // Opens the port (a device path, or "COM n" as in comm/PortNames.h), wakes the unit with
    // 0x04, expects the banner with "[ENTERED CONTROL MODE]" up to '>', then the "OK"
    // handshake (up to three tries; any reply ending in '>' completes it). When the port
    // cannot be opened the error text names the device and the system's reason on a
    // second line.
    bool EnterCommandMode(const std::string& port, int baudRate);

    // Sends the line and a line feed; true when the unit's reply up to '>' contains "OK".
    // The unit's echo of the line does not count, so a line that itself holds the letters
    // OK is not acknowledged by its own echo.
    bool SendCommand(std::string line);

    // "PS": the unit's configuration image, from its first byte (0x13) up to the '?' of the
    // closing "?>", for ReadConfigImage (via std::istringstream). At most 1024 bytes are read.
    bool QuerySettings(std::string& image);

    // "SH": the unit applies its hardware settings and moves its configuration port to
    // baudRate; the port follows and waits for the prompt at the new rate.
    bool ApplyHardware(int baudRate);

    std::string GetErrorText() const { return errorText; }
    void ClosePort() { port.Close(); }

    // --- bootloader ---

    // "SX": the unit answers "Ready for flash..." and both sides move to baudRate, where
    // only frames are exchanged.
    bool InitFlash(int baudRate);
    // Sends a frame whose type, status, length, value and data are filled in.
    bool SendFrame(std::uint8_t* frame);
    // Receives one frame; damaged frames fail.
    bool ReceiveFrame(FrameBuffer& frame);
    // Receives one frame and acts on it (ping reply, acknowledgement, refusal, user-block
    // address); its type, or 0 when no good frame came.
    int Poll();
    // The type of the first good frame that begins within the window, 0 when none. A frame
    // begun inside the window may end after it, by no more than its bytes take on the line.
    int WaitForFrame(int windowMs);
    // Asks the bootloader who it is; true when any frame answers within the window. A reply
    // with data updates BootInfo.
    bool Ping();
    // Sends the file in acknowledged blocks of the size the last ping reported (at most
    // 1024). With userBlockMode, files longer than 0x40000 bytes skip the unit's user block.
    // Reads the file whole first (ReadSoftwareFile).
    bool Download(const std::string& path, bool userBlockMode);
    // The same with the file already read. Each block waits for its acknowledgement until
    // the unit refuses it or the frame time-out has passed without one; either costs one
    // time-out of the budget, and the block goes again.
    bool Download(const std::vector<std::uint8_t>& software, bool userBlockMode);
    // Restarts the unit; true only when the first frame to come back is the reboot reply.
    bool Reboot();

    // What the last ping reply with data told.
    const BootloaderInfo& BootInfo() const { return bootInfo; }
    // Start of the unit's user block as it reported it, at most 0x40000.
    std::uint32_t UserBlockAddress() const { return userBlockAddress; }
    const CommTimings& Timings() const { return timings; }
    // The port, to look at; what goes on the line goes through the operations above.
    const CSerialPort& Port() const { return port; }

private:
    // Whether a stop asked for ends a wait early.
    enum class Stoppable { No, Yes };

    bool Exchange(const std::string& line, bool needAcknowledgement);
    // The moment by which a reply of about `bytes` bytes, whose every byte may take up to
    // perByteMs, must be in at the current rate.
    long long ReplyDeadline(unsigned perByteMs, std::size_t bytes) const;
    // Milliseconds the bytes take on the line at the current rate.
    long long LineTimeMs(std::size_t bytes) const;
    // One byte within perByteMs and before the deadline. The time-out in force afterwards
    // is perByteMs.
    bool ReadByteBy(std::uint8_t& byte, unsigned perByteMs, long long deadline, Stoppable stop);
    // Appends bytes until the text ends with `wanted`.
    bool ReadUntilBy(std::string& text, std::string_view wanted, unsigned perByteMs,
                     long long deadline, Stoppable stop);
    // A frame whose first byte comes by startBy and whose last comes by the deadline.
    bool ReceiveFrameBy(FrameBuffer& frame, long long startBy, long long deadline, Stoppable stop);
    int PollBy(long long startBy, long long deadline, Stoppable stop);
    int WaitForFrameBy(int windowMs, Stoppable stop);
    bool SendEmptyFrame(std::uint8_t type);
    bool QueryUserBlock();
    bool StopRequested() const { return observer->StopRequested(); }

    COperationObserver* observer;
    CSerialPort port;
    CommTimings timings;
    std::string errorText;
    BootloaderInfo bootInfo;
    std::uint32_t userBlockAddress = kUserBlockEnd;
    int lineRate = 0;  // the port's baud rate; 0 while closed
    bool ackReceived = false;
    bool refused = false;  // a data frame came back with a status other than acknowledge
};
