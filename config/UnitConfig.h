// The unit's whole configuration as one packed, little-endian 421-byte record.
// These bytes travel unchanged in .cfg files and in the unit's reply to "PS",
// so the layout is an external format: every offset below is checked at compile time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "UnitConfig is stored little-endian; a big-endian build would need byte swapping");
static_assert(sizeof(float) == 4, "the record stores IEEE 754 single-precision floats");

#pragma pack(push, 1)

// One 4-20 mA output channel.
struct AnalogChannel {
    std::uint8_t enabled;     // in use when nonzero (the defaults store 2 for channel 3)
    std::uint8_t instrument;  // source instrument, 0-based
    std::uint8_t dataType;    // data-type code of the quantity that drives the channel
    std::int32_t at4mA;       // base units of the data type's quantity kind
    std::int32_t at20mA;
};

// Smoothing of one quantity: [0] flow, [1] velocity, [2] depth.
struct SmoothingSetting {
    std::int32_t band;       // changes larger than this pass unsmoothed; base units, never negative
    std::int32_t zeroBelow;  // readings below this are forced to zero; base units, never negative
    float tcf;               // 0.0 (most smoothed) .. 1.0 (not smoothed)
};

// One alarm rule; condition 2 is used unless combine is AlarmCombineNone.
struct AlarmRule {
    std::uint8_t enabled;
    std::uint8_t instrument1;  // 0-based
    std::uint8_t instrument2;
    std::uint8_t dataType1;
    std::uint8_t dataType2;
    std::uint8_t compare1;  // AlarmCompare; AlarmComparePulse marks the sampler pulse rule
    std::uint8_t compare2;
    std::int32_t threshold1;  // base units of dataType1's kind (pulse: volume base units x 1000)
    std::int32_t threshold2;
    std::uint8_t combine;  // AlarmCombine
    std::uint8_t latching;
};

// One of the unit's five serial ports.
struct SerialPortSetting {
    std::uint8_t index;  // the port's own number; written by the defaults only
    std::uint32_t baudRate;
    std::uint8_t sevenDataBits;  // 1 = 7 data bits, 0 = 8
    std::uint8_t parity;         // SerialParity
};

struct UnitConfig {
    std::uint8_t ipAddress[4];  // first octet first
    std::uint8_t subnetMask[4];
    std::uint8_t modemEnabled;
    char modemInitString[64];      // NUL-terminated, at most 63 characters
    char siteName[12];             // NUL-terminated, at most 11 characters
    char instrumentName[3][12];    // NUL-terminated, at most 11 characters each
    std::uint8_t instrumentType[3];      // InstrumentType
    std::int16_t instrumentTimeout[3];   // seconds; above 3600 means no time-out
    std::uint8_t reserved82;             // not interpreted; kept as is
    AnalogChannel analogChannel[4];
    std::uint8_t badReadingClearCount;  // 0 = never
    std::uint8_t timeoutClearCount;     // 0 = never
    float reservedFloat[3];             // not interpreted; kept as is
    SmoothingSetting smoothing[3];
    std::uint8_t lcdShowSmoothed;
    AlarmRule alarmRule[8];
    SerialPortSetting serialPort[5];  // numbered as the unit numbers them, see SerialPortNumber
    std::uint8_t configPortFlowControl;
    std::uint8_t outputType;  // OutputType
    std::uint8_t modbusAscii;  // nonzero = ASCII, 0 = RTU
    std::uint8_t modbusAddress;
    std::uint8_t modbusAltPort;  // MODBUS on the alternate port, which takes instrument 2's port
    std::uint8_t lcdBacklight;
    std::uint8_t lcdCycleTime;  // seconds
    std::uint8_t unitCode[8];   // display unit code per QuantityKind
    std::uint8_t lcdShow[6];    // LcdShow
    std::uint16_t analogChannelCount;  // the unit's own count; the tool never changes it
    std::uint8_t totalizerMode;        // TotalizerMode
};

#pragma pack(pop)

inline constexpr std::size_t kUnitConfigSize = 421;

static_assert(sizeof(AnalogChannel) == 11);
static_assert(sizeof(SmoothingSetting) == 12);
static_assert(sizeof(AlarmRule) == 17);
static_assert(sizeof(SerialPortSetting) == 7);
static_assert(sizeof(UnitConfig) == kUnitConfigSize);

static_assert(offsetof(AnalogChannel, at4mA) == 3 && offsetof(AnalogChannel, at20mA) == 7);
static_assert(offsetof(SmoothingSetting, zeroBelow) == 4 && offsetof(SmoothingSetting, tcf) == 8);
static_assert(offsetof(AlarmRule, threshold1) == 7 && offsetof(AlarmRule, combine) == 15 &&
              offsetof(AlarmRule, latching) == 16);
static_assert(offsetof(SerialPortSetting, baudRate) == 1 &&
              offsetof(SerialPortSetting, parity) == 6);

static_assert(offsetof(UnitConfig, ipAddress) == 0);
static_assert(offsetof(UnitConfig, subnetMask) == 4);
static_assert(offsetof(UnitConfig, modemEnabled) == 8);
static_assert(offsetof(UnitConfig, modemInitString) == 9);
static_assert(offsetof(UnitConfig, siteName) == 73);
static_assert(offsetof(UnitConfig, instrumentName) == 85);
static_assert(offsetof(UnitConfig, instrumentType) == 121);
static_assert(offsetof(UnitConfig, instrumentTimeout) == 124);
static_assert(offsetof(UnitConfig, reserved82) == 130);
static_assert(offsetof(UnitConfig, analogChannel) == 131);
static_assert(offsetof(UnitConfig, badReadingClearCount) == 175);
static_assert(offsetof(UnitConfig, timeoutClearCount) == 176);
static_assert(offsetof(UnitConfig, reservedFloat) == 177);
static_assert(offsetof(UnitConfig, smoothing) == 189);
static_assert(offsetof(UnitConfig, lcdShowSmoothed) == 225);
static_assert(offsetof(UnitConfig, alarmRule) == 226);
static_assert(offsetof(UnitConfig, serialPort) == 362);
static_assert(offsetof(UnitConfig, configPortFlowControl) == 397);
static_assert(offsetof(UnitConfig, outputType) == 398);
static_assert(offsetof(UnitConfig, modbusAscii) == 399);
static_assert(offsetof(UnitConfig, modbusAddress) == 400);
static_assert(offsetof(UnitConfig, modbusAltPort) == 401);
static_assert(offsetof(UnitConfig, lcdBacklight) == 402);
static_assert(offsetof(UnitConfig, lcdCycleTime) == 403);
static_assert(offsetof(UnitConfig, unitCode) == 404);
static_assert(offsetof(UnitConfig, lcdShow) == 412);
static_assert(offsetof(UnitConfig, analogChannelCount) == 418);
static_assert(offsetof(UnitConfig, totalizerMode) == 420);

enum InstrumentType : std::uint8_t {
    InstrumentInactive = 0,
    InstrumentKestrel = 1,
    InstrumentCulvert = 2,
    InstrumentMarten = 3,
};

enum AlarmCompare : std::uint8_t {
    AlarmCompareGreater = 1,
    AlarmCompareLess = 2,
    AlarmCompareGreaterEqual = 3,
    AlarmCompareLessEqual = 4,
    AlarmCompareEqual = 5,
    AlarmComparePulse = 6,  // the sampler pulse rule: "pulse every"
};

enum AlarmCombine : std::uint8_t {
    AlarmCombineAnd = 7,
    AlarmCombineOr = 8,
    AlarmCombineNone = 9,  // condition 1 alone decides
};

enum OutputType : std::uint8_t {
    OutputAnalog = 1,
    OutputModbus = 2,
};

enum TotalizerMode : std::uint8_t {
    TotalizerNet = 0,
    TotalizerPositive = 1,
    TotalizerNegative = 2,
};

enum SerialParity : std::uint8_t {
    ParityNone = 0,
    ParityEven = 1,
    ParityOdd = 2,
    ParityTwoStopBits = 3,
};

// The unit numbers its ports by wiring, not by page order.
enum SerialPortNumber : std::uint8_t {
    PortInstrument3 = 0,
    PortInstrument1 = 1,
    PortConfiguration = 2,  // the port the tool talks to
    PortModbus = 3,
    PortInstrument2 = 4,
};

// Entries of lcdShow.
enum LcdShow : std::uint8_t {
    LcdShowInstrument1 = 0,
    LcdShowInstrument2 = 1,
    LcdShowInstrument3 = 2,
    LcdShowTotalizer = 3,
    LcdShowOutputs = 4,
    LcdShowPushedData = 5,
};

// A time-out above this many seconds means "no time-out"; the Site page writes kNoTimeout.
inline constexpr std::int16_t kMaxInstrumentTimeout = 3600;
inline constexpr std::int16_t kNoTimeout = 4000;

// Overwrites the whole record with the factory defaults.
void SetDefaults(UnitConfig& config);
