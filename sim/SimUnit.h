// A simulated unit on a pseudo-terminal. It speaks the unit's command mode and bootloader,
// keeps a real configuration record that the command lines change, writes flash memory,
// and misbehaves on request, always the same way (counts, never chance), so that every
// failure of the tool can be brought about and watched.
//
// A pty ignores baud rates, so the unit models them itself: it knows its own rate, reads the
// rate the tool set on the terminal, drops what arrives while the two differ and sends
// only garbage (0xFF) then, as a real line would deliver. Switching rates ("SH", "SX",
// reboot) is therefore something the tool must follow.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/UnitConfig.h"

// One scripted misbehaviour for command lines.
struct SimLineFault {
    enum class Kind {
        ErrorReply,  // echo, then an answer without "OK", then the prompt
        EchoOnly,    // echo, then nothing
        Silent,      // nothing at all
    };
    std::string prefix;  // lines that start with this ("" matches every line)
    int lineNumber = 0;  // only the n-th command line since the start (from 1); 0 = any
    int times = -1;      // this many matching lines fail, later ones succeed; -1 = all
    Kind kind = Kind::ErrorReply;
};

enum class SimImageFault {
    None,
    BadChecksum,   // the image's check word does not fit its payload
    NoStartByte,   // a reply without any image (no 0x13 byte)
    Unterminated,  // the image, then more than 1024 bytes without the closing "?>"
};

struct SimFaults {
    bool silent = false;               // no reply to anything
    bool bannerWithoutMarker = false;  // a banner and prompt, but not the command-mode marker
    std::vector<SimLineFault> lineFaults;
    SimImageFault image = SimImageFault::None;
    // The image answered for "PS" has this byte of the record changed (its lowest bit), with
    // a check word that fits: a unit that reads back another value than it took. -1: none.
    int alteredRecordByte = -1;

    bool pingSilent = false;            // the bootloader does not answer pings
    bool pingEmptyReply = false;        // ping replies carry no data
    bool userBlockSilent = false;       // no reply to the user-block query
    int nakFrames = 0;                  // the first N data frames are refused (status not 6)
    int corruptAcks = 0;                // the first N acknowledgements carry a wrong check value
    bool repeatCorruptAck = false;      // ...each followed at once by a good copy
    int deadAfterFrames = -1;           // after K acknowledged data frames the line goes dead
    bool rebootWrongTypeFirst = false;  // a type 1 frame comes before the reboot reply
    bool rebootSilent = false;
};

struct SimOptions {
    int baudRate = 0;                // the configuration port's rate at start; 0: the record's
    bool pace = false;               // bytes leave no faster than baud / 10 per second
    int rateGraceMs = 1000;          // how long output waits for the tool to follow a rate change
    std::uint16_t blockSize = 1024;  // reported by the ping reply
    std::uint32_t userBlockAddress = 0x3C000;
    std::string bootText = "Weirlink boot 1.07";
    // The unit's thread runs at real-time priority where the system allows it: a unit has a
    // processor of its own, so a benchmark then sees the tool's delays, not the unit's.
    bool realTime = false;
    // Each list of the log keeps at least this many of its latest entries and at most twice
    // as many: a unit that runs for days must not grow without end.
    std::size_t logLimit = 4096;
    // Told of every command line and frame received ("line: SN 0 NewSite"), on the unit's
    // thread; for a program that shows what the unit sees.
    std::function<void(const std::string&)> monitor;
};

struct SimDataFrame {
    std::uint8_t type;
    std::uint32_t offset;
    std::size_t length;
    bool acknowledged;
};

// What the unit received and did, for tests to look at; the lists keep their latest
// entries (SimOptions::logLimit).
struct SimLog {
    std::vector<std::string> lines;  // command lines, in order, without line ends
    std::vector<SimDataFrame> dataFrames;
    int banners = 0;
    int pings = 0;
    int userBlockQueries = 0;
    int reboots = 0;
    int badFrames = 0;        // frames that failed the unit's checks
    int userBlockWrites = 0;  // data frames that reached into the user block (not written)
    int hardwareApplies = 0;  // "SH"
    int saves = 0;            // "SS"
    std::string clock;        // the last "ST", as YYYY-MM-DD HH:MM:SS
    std::vector<int> zeroedTotalizers;
    std::vector<std::pair<int, int>> outputTests;  // "XO": channel, hundredths of a mA
};

inline constexpr std::size_t kSimFlashSize = 0x100000;
inline constexpr std::uint8_t kSimErasedByte = 0xFF;
inline constexpr std::uint8_t kSimUserBlockByte = 0x5A;  // what the user block holds at start

class CSimUnit {
public:
    explicit CSimUnit(const UnitConfig& config, const SimOptions& options = {});
    CSimUnit();  // factory defaults
    ~CSimUnit();
    CSimUnit(const CSimUnit&) = delete;
    CSimUnit& operator=(const CSimUnit&) = delete;

    // Opens the pty and starts answering on a thread of its own.
    bool Start();
    void Stop();
    // The terminal the tool opens.
    std::string DevicePath() const;

    // Announces the unit for "COM n": a link in the folder (SimAnnounceDir by default),
    // named after the process id. Returns the link's path, empty on failure.
    std::string Announce(const std::string& folder = "");
    void Unannounce();

    // Faults take effect at once; their counts start again.
    void SetFaults(const SimFaults& faults);
    UnitConfig Config() const;
    void SetConfig(const UnitConfig& config);
    SimLog Log() const;
    void ClearLog();
    std::vector<std::uint8_t> FlashMemory() const;
    int BaudRate() const;  // the unit's current rate

private:
    struct State;
    std::unique_ptr<State> state;
};
