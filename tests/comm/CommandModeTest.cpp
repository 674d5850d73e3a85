// Command mode against the simulated unit: connecting, command lines and their
// acknowledgement, reading the configuration image, following the unit to a new rate.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "comm/PortNames.h"
#include "config/CommandList.h"
#include "config/ConfigImage.h"
#include "tests/comm/SimulatedUnit.h"

namespace {

template <std::size_t N>
void StoreName(char (&field)[N], const char* text)
{
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
}

// The record read back after a send: what was sent, except the fields no line carries,
// which keep the unit's values.
UnitConfig KeptByUnit(UnitConfig sent, const UnitConfig& unit)
{
    sent.reserved82 = unit.reserved82;
    std::memcpy(sent.reservedFloat, unit.reservedFloat, sizeof sent.reservedFloat);
    sent.analogChannelCount = unit.analogChannelCount;
    for (int p = 0; p < 5; ++p) sent.serialPort[p].index = unit.serialPort[p].index;
    sent.unitCode[6] = unit.unitCode[6];
    sent.unitCode[7] = unit.unitCode[7];
    return sent;
}

// The record offsets at which two records differ, for a readable failure.
std::string Differences(const UnitConfig& a, const UnitConfig& b)
{
    std::string offsets;
    const auto* x = reinterpret_cast<const std::uint8_t*>(&a);
    const auto* y = reinterpret_cast<const std::uint8_t*>(&b);
    for (std::size_t i = 0; i < sizeof a; ++i)
        if (x[i] != y[i]) offsets += std::to_string(i) + " ";
    return offsets;
}

// A unit whose fields no line carries differ from the defaults.
UnitConfig UnitWithOwnValues()
{
    UnitConfig unit = DefaultConfig();
    unit.reserved82 = 0x77;
    unit.reservedFloat[0] = 1.5f;
    unit.analogChannelCount = 2;
    for (int p = 0; p < 5; ++p) unit.serialPort[p].index = static_cast<std::uint8_t>(40 + p);
    unit.unitCode[6] = 99;
    return unit;
}

// Nothing left at its default, every kind of line included.
UnitConfig AnalogSite()
{
    UnitConfig c = DefaultConfig();
    const std::uint8_t ip[4] = {10, 20, 30, 40}, mask[4] = {255, 255, 240, 0};
    std::memcpy(c.ipAddress, ip, 4);
    std::memcpy(c.subnetMask, mask, 4);
    c.modemEnabled = 1;
    StoreName(c.modemInitString, "AT&F E0 S0=1");
    StoreName(c.siteName, "Mill Creek");
    StoreName(c.instrumentName[0], "North");
    StoreName(c.instrumentName[1], "East bank");
    StoreName(c.instrumentName[2], "Weir 3");
    const std::uint8_t types[3] = {InstrumentKestrel, InstrumentMarten, InstrumentCulvert};
    std::memcpy(c.instrumentType, types, 3);
    c.instrumentTimeout[0] = 30;
    c.instrumentTimeout[1] = kNoTimeout;
    c.instrumentTimeout[2] = 3600;
    const std::uint32_t rates[5] = {19200, 4800, 38400, 115200, 1200};
    for (int p = 0; p < 5; ++p) {
        c.serialPort[p].baudRate = rates[p];
        c.serialPort[p].sevenDataBits = p % 2;
        c.serialPort[p].parity = static_cast<std::uint8_t>(p % 4);
    }
    c.configPortFlowControl = 1;
    c.outputType = OutputAnalog;
    c.modbusAscii = 0;
    c.modbusAddress = 17;
    c.modbusAltPort = 1;
    c.instrumentType[1] = InstrumentInactive;  // the alternate MODBUS port takes its port
    StoreName(c.instrumentName[1], "INACTIVE");
    for (int k = 0; k < 4; ++k) {
        c.analogChannel[k].enabled = k == 2 ? 2 : 1;  // a set flag keeps the unit's byte
        c.analogChannel[k].instrument = static_cast<std::uint8_t>(2 - k % 3);
        c.analogChannel[k].dataType = static_cast<std::uint8_t>(5 + k);
        c.analogChannel[k].at4mA = -100 * k;
        c.analogChannel[k].at20mA = 50000 + k;
    }
    c.badReadingClearCount = 3;
    c.timeoutClearCount = 0;
    const float tcf[3] = {0.95f, 0.5f, 0.0f};
    for (int q = 0; q < 3; ++q) {
        c.smoothing[q].band = 1000 * (q + 1);
        c.smoothing[q].zeroBelow = 7 * q;
        c.smoothing[q].tcf = tcf[q];
    }
    c.lcdShowSmoothed = 0;
    const AlarmRule rules[3] = {
        {1, 0, 1, 16, 6, AlarmCompareLess, AlarmCompareGreaterEqual, -500, 1200, AlarmCombineAnd,
         0},
        {1, 2, 0, 20, 15, AlarmCompareEqual, AlarmCompareLessEqual, 0, -7, AlarmCombineOr, 1},
        {1, 0, 0, 8, 0, AlarmComparePulse, 0, 25000, 0, AlarmCombineNone, 0},
    };
    std::memcpy(c.alarmRule, rules, sizeof rules);
    c.lcdBacklight = 0;
    c.lcdCycleTime = 9;
    const std::uint8_t units[6] = {2, 8, 13, 23, 27, 36};
    std::memcpy(c.unitCode, units, 6);
    const std::uint8_t show[6] = {1, 1, 0, 1, 0, 1};
    std::memcpy(c.lcdShow, show, 6);
    c.totalizerMode = TotalizerNegative;
    return c;
}

class CommandModeTest : public SimulatedUnitTest {
protected:
    UnitConfig SendAndReadBack(const UnitConfig& sent)
    {
        CCommunications comm;
        Connect(comm);
        std::vector<std::string> lines;
        BuildCommandList(sent, lines);
        for (const std::string& line : lines)
            EXPECT_TRUE(comm.SendCommand(line)) << comm.GetErrorText();
        std::string image;
        EXPECT_TRUE(comm.QuerySettings(image)) << comm.GetErrorText();
        comm.ClosePort();

        UnitConfig read;
        std::memset(&read, 0xEE, sizeof read);
        std::istringstream in(image);
        std::string error;
        EXPECT_TRUE(ReadConfigImage(read, in, error)) << error;
        EXPECT_EQ(unit->Log().lines.size(), lines.size() + 2);  // the handshake and "PS"
        return read;
    }

    std::string QueryWith(SimImageFault fault, CCommunications& comm)
    {
        SimFaults faults;
        faults.image = fault;
        unit->SetFaults(faults);
        Connect(comm);
        std::string image = "left over";
        EXPECT_TRUE(comm.QuerySettings(image)) << comm.GetErrorText();
        return image;
    }
};

TEST_F(CommandModeTest, ConnectsByDeviceAndByComNumber)
{
    CCommunications comm;
    Connect(comm);
    EXPECT_EQ(unit->Log().banners, 1);
    EXPECT_EQ(unit->Log().lines, std::vector<std::string>{"OK"});
    comm.ClosePort();

    // A simulator that announced itself is COM 1.
    TempRuntimeFolder runtime;
    const std::string link = unit->Announce();
    ASSERT_FALSE(link.empty());
    const std::vector<SerialPortEntry> ports = ScanSerialPorts();
    ASSERT_FALSE(ports.empty());
    ASSERT_EQ(ports[0].label, "COM 1 (simulated unit)");
    EXPECT_TRUE(comm.EnterCommandMode(1, 57600)) << comm.GetErrorText();
    comm.ClosePort();
    unit->Unannounce();
    EXPECT_FALSE(std::filesystem::exists(link));
}

TEST_F(CommandModeTest, OpenFailuresNameTheDeviceAndTheReason)
{
    CCommunications comm;
    EXPECT_FALSE(comm.EnterCommandMode("/dev/no-such-port", 57600));
    EXPECT_EQ(comm.GetErrorText(),
              std::string(kOpenFailedText) + "\n/dev/no-such-port: No such file or directory");

    EXPECT_FALSE(comm.EnterCommandMode("COM 99", 57600));
    EXPECT_EQ(comm.GetErrorText(), std::string(kOpenFailedText) + "\nCOM 99: No such device");

    CSerialPort holder;
    ASSERT_TRUE(holder.Open(Device(), 57600));
    EXPECT_FALSE(comm.EnterCommandMode(Device(), 57600));
    EXPECT_TRUE(comm.GetErrorText().starts_with(std::string(kOpenFailedText) + "\n" + Device() +
                                                ": Device or resource busy"));
    EXPECT_EQ(unit->Log().banners, 0);
}

TEST_F(CommandModeTest, NoCommandModeWithoutTheMarkerOrWithoutAReply)
{
    SimFaults faults;
    faults.bannerWithoutMarker = true;
    unit->SetFaults(faults);
    CCommunications comm;
    EXPECT_FALSE(comm.EnterCommandMode(Device(), 57600));
    EXPECT_EQ(comm.GetErrorText(), kEnterCommandModeText);
    EXPECT_TRUE(unit->Log().lines.empty());  // no handshake after a wrong banner
    comm.ClosePort();

    faults = {};
    faults.silent = true;
    unit->SetFaults(faults);
    CCommunications fast(FastTimings());
    EXPECT_FALSE(fast.EnterCommandMode(Device(), 57600));
    EXPECT_EQ(fast.GetErrorText(), kEnterCommandModeText);
    fast.ClosePort();

    // A unit at another rate hears only noise.
    unit->SetFaults({});
    EXPECT_FALSE(fast.EnterCommandMode(Device(), 9600));
    EXPECT_EQ(fast.GetErrorText(), kEnterCommandModeText);
}

TEST_F(CommandModeTest, HandshakeTakesAnyPromptAndUpToThreeTries)
{
    // Silent for the first "OK", then an answer without "OK": still a handshake.
    SimFaults faults;
    faults.lineFaults = {{"OK", 0, 1, SimLineFault::Kind::Silent},
                         {"OK", 0, 1, SimLineFault::Kind::ErrorReply}};
    unit->SetFaults(faults);
    CCommunications comm(FastTimings());
    EXPECT_TRUE(comm.EnterCommandMode(Device(), 57600)) << comm.GetErrorText();
    EXPECT_EQ(unit->Log().lines, (std::vector<std::string>{"OK", "OK"}));
    comm.ClosePort();

    FaultLines("OK", SimLineFault::Kind::EchoOnly);
    unit->ClearLog();
    EXPECT_FALSE(comm.EnterCommandMode(Device(), 57600));
    EXPECT_EQ(comm.GetErrorText(), "The command \"OK\" failed.");
    EXPECT_EQ(unit->Log().lines.size(), 3u);
}

TEST_F(CommandModeTest, OnlyTheUnitsAnswerCanAcknowledgeALine)
{
    FaultLines("SN 0", SimLineFault::Kind::ErrorReply);
    CCommunications comm;
    Connect(comm);

    // The echo "SN 0 OKANOGAN" holds the letters OK; the answer does not.
    EXPECT_FALSE(comm.SendCommand("SN 0 OKANOGAN"));
    EXPECT_EQ(comm.GetErrorText(), "The command \"SN 0 OKANOGAN\" failed.");
    EXPECT_EQ(comm.GetErrorText(), CommandFailedText("SN 0 OKANOGAN"));

    EXPECT_TRUE(comm.SendCommand("SN 1 OKAY")) << comm.GetErrorText();
    EXPECT_STREQ(unit->Config().instrumentName[0], "OKAY");
    EXPECT_FALSE(comm.SendCommand("ZZ 1"));  // unknown to the unit
    EXPECT_EQ(comm.GetErrorText(), "The command \"ZZ 1\" failed.");
    EXPECT_TRUE(comm.SendCommand("XO 2 1200"));
    EXPECT_EQ(unit->Log().outputTests, (std::vector<std::pair<int, int>>{{2, 1200}}));
}

TEST_F(CommandModeTest, ALineWithoutPromptFailsAfterTheTimeOut)
{
    FaultLines("LC", SimLineFault::Kind::EchoOnly, 1);
    CCommunications comm(FastTimings());
    Connect(comm);
    EXPECT_FALSE(comm.SendCommand("LC 5"));
    EXPECT_EQ(comm.GetErrorText(), CommandFailedText("LC 5"));
    EXPECT_TRUE(comm.SendCommand("LC 5"));  // the second time it answers
}

TEST_F(CommandModeTest, SentConfigurationReadsBackFieldForField)
{
    const UnitConfig unitBefore = UnitWithOwnValues();
    StartUnit(unitBefore);
    const UnitConfig sent = AnalogSite();
    const UnitConfig read = SendAndReadBack(sent);
    const UnitConfig expected = KeptByUnit(sent, unitBefore);
    EXPECT_EQ(Differences(read, expected), "");
    EXPECT_EQ(float(read.smoothing[0].tcf), 0.95f);
    EXPECT_EQ(read.serialPort[1].sevenDataBits, 1);
    EXPECT_EQ(read.modbusAscii, 0);  // "MR 1" is RTU
}

TEST_F(CommandModeTest, LinesThatAreNotSentLeaveTheUnitsValues)
{
    UnitConfig unitBefore = UnitWithOwnValues();
    unitBefore.alarmRule[4] = {1, 1, 1, 1, 1, 1, 1, 1, 1, AlarmCombineAnd, 1};
    StartUnit(unitBefore);
    UnitConfig sent = DefaultConfig();
    sent.outputType = OutputModbus;  // no channel lines: the unit keeps its channels
    sent.modbusAscii = 1;
    sent.modbusAddress = 200;
    for (AnalogChannel& channel : sent.analogChannel) channel.at20mA = 1;
    sent.instrumentType[2] = 7;  // not a model: sent as CULVERT
    StoreName(sent.instrumentName[2], "Spare");
    StoreName(sent.instrumentName[1], "Unused");  // inactive: sent as INACTIVE

    const UnitConfig read = SendAndReadBack(sent);
    UnitConfig expected = KeptByUnit(sent, unitBefore);
    std::memcpy(expected.analogChannel, unitBefore.analogChannel, sizeof expected.analogChannel);
    expected.instrumentType[2] = InstrumentCulvert;
    StoreName(expected.instrumentName[1], "INACTIVE");
    EXPECT_EQ(int(read.alarmRule[4].threshold2), 0);  // "RE 5 0" removes the unit's rule
    EXPECT_EQ(Differences(read, expected), "");
    EXPECT_EQ(read.analogChannel[2].enabled, 2);
    EXPECT_EQ(read.modbusAscii, 1);
}

TEST_F(CommandModeTest, SettingsImageIsCutFromItsStartByteToTheClosingMark)
{
    CCommunications comm;
    Connect(comm);
    std::string image;
    ASSERT_TRUE(comm.QuerySettings(image)) << comm.GetErrorText();
    // The unit's words before the image are not part of it; its '?' is.
    ASSERT_EQ(image.size(), kImageSize + 1);
    EXPECT_EQ(image.front(), '\x13');
    EXPECT_EQ(image.back(), '?');
    std::istringstream in(image);
    UnitConfig read{};
    std::string error;
    EXPECT_TRUE(ReadConfigImage(read, in, error)) << error;
    const UnitConfig expected = DefaultConfig();
    EXPECT_EQ(Differences(read, expected), "");
}

TEST_F(CommandModeTest, ClosingMarkInsideTheImageCutsItShort)
{
    UnitConfig config = DefaultConfig();
    StoreName(config.siteName, "A?>B");
    StartUnit(config);
    CCommunications comm;
    Connect(comm);
    std::string image;
    ASSERT_TRUE(comm.QuerySettings(image));
    EXPECT_EQ(image.size(), offsetof(UnitConfig, siteName) + sizeof(ImageHeader) + 2);
    std::istringstream in(image);
    std::string error;
    EXPECT_FALSE(ReadConfigImage(config, in, error));
    EXPECT_EQ(error, kImageIncompleteText);
}

TEST_F(CommandModeTest, ReplyWithoutClosingMarkStopsAtTheBuffersEnd)
{
    CCommunications comm;
    const std::string image = QueryWith(SimImageFault::Unterminated, comm);
    // The reply so far: the echo "PS\r\n", the unit's words, then the image and filler.
    const std::size_t before = std::strlen("PS\r\nConfiguration image follows\r\n");
    EXPECT_EQ(image.size(), kSettingsBufferSize - before);
    EXPECT_EQ(image.front(), '\x13');
    EXPECT_EQ(image.back(), '.');
}

TEST_F(CommandModeTest, DamagedImagesFailInTheirOwnWords)
{
    CCommunications comm;
    const std::string image = QueryWith(SimImageFault::BadChecksum, comm);
    std::istringstream in(image);
    UnitConfig config = DefaultConfig();
    std::string error;
    EXPECT_FALSE(ReadConfigImage(config, in, error));
    EXPECT_EQ(error, kImageChecksumText);
    comm.ClosePort();

    SimFaults faults;
    faults.image = SimImageFault::NoStartByte;
    unit->SetFaults(faults);
    Connect(comm);
    std::string none = "left over";
    EXPECT_FALSE(comm.QuerySettings(none));
    EXPECT_EQ(comm.GetErrorText(), kNoFileHeaderText);
    EXPECT_TRUE(none.empty());
    comm.ClosePort();

    FaultLines("PS", SimLineFault::Kind::Silent);
    CCommunications fast(FastTimings());
    Connect(fast);
    EXPECT_FALSE(fast.QuerySettings(none));
    EXPECT_EQ(fast.GetErrorText(), kQueryFailedText);
}

TEST_F(CommandModeTest, ApplyHardwareFollowsTheUnitToItsNewRate)
{
    CCommunications comm;
    Connect(comm);
    ASSERT_TRUE(comm.SendCommand("SP 2 9600 1 0"));
    ASSERT_TRUE(comm.ApplyHardware(9600)) << comm.GetErrorText();
    EXPECT_EQ(unit->BaudRate(), 9600);
    EXPECT_EQ(comm.Port().GetTimeout(), CommTimings{}.promptAfterBaudMs);
    EXPECT_TRUE(comm.SendCommand("LC 6"));  // still talking, now at 9600
    EXPECT_EQ(unit->Config().lcdCycleTime, 6);
}

TEST_F(CommandModeTest, ApplyHardwareFailuresInTheirOwnWords)
{
    SimOptions options;
    options.rateGraceMs = 20;
    StartUnit(DefaultConfig(), options);
    CCommunications comm(FastTimings());

    // The tool expects another rate than the unit moves to: no prompt it can read.
    Connect(comm);
    ASSERT_TRUE(comm.SendCommand("SP 2 9600 1 0"));
    EXPECT_FALSE(comm.ApplyHardware(19200));
    EXPECT_EQ(comm.GetErrorText(), kFindPromptText);
    comm.ClosePort();

    // A rate the port cannot take.
    Connect(comm, 9600);
    ASSERT_TRUE(comm.SendCommand("SP 2 250000 1 0"));
    EXPECT_FALSE(comm.ApplyHardware(250000));
    EXPECT_EQ(comm.GetErrorText(), kApplyBaudText);
    comm.ClosePort();

    // No echo of "SH".
    UnitConfig config = DefaultConfig();
    StartUnit(config, options);
    FaultLines("SH", SimLineFault::Kind::Silent);
    Connect(comm);
    EXPECT_FALSE(comm.ApplyHardware(57600));
    EXPECT_EQ(comm.GetErrorText(), kApplyHardwareText);
}

TEST_F(CommandModeTest, EveryOperationLeavesThePortFreeOnceClosed)
{
    {
        CCommunications comm;
        Connect(comm);
        std::string image;
        ASSERT_TRUE(comm.QuerySettings(image));
    }  // the destructor closes
    CSerialPort exclusive;
    EXPECT_TRUE(exclusive.Open(Device(), 57600));
    exclusive.Close();

    CCommunications comm;
    Connect(comm);
    comm.ClosePort();
    EXPECT_TRUE(exclusive.Open(Device(), 57600));
    exclusive.Close();

    // On a port that is gone, every operation fails at its first step.
    std::string image;
    EXPECT_FALSE(comm.QuerySettings(image));
    EXPECT_EQ(comm.GetErrorText(), kQueryFailedText);
    EXPECT_FALSE(comm.ApplyHardware(57600));
    EXPECT_EQ(comm.GetErrorText(), kApplyHardwareText);
    EXPECT_FALSE(comm.SendCommand("SS"));
    EXPECT_EQ(comm.GetErrorText(), CommandFailedText("SS"));
}

}  // namespace
