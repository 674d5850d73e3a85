#include "config/UnitConfig.h"

#include <cstring>

void SetDefaults(UnitConfig& config)
{
    // Zero first, so the bytes behind every NUL are zero and a defaulted record is the
    // same image on every run.
    std::memset(&config, 0, sizeof config);

    const std::uint8_t ip[4] = {192, 168, 1, 10};
    const std::uint8_t mask[4] = {255, 255, 255, 0};
    std::memcpy(config.ipAddress, ip, sizeof ip);
    std::memcpy(config.subnetMask, mask, sizeof mask);

    std::strcpy(config.siteName, "NewSite");
    std::strcpy(config.instrumentName[0], "NewIns1");
    std::strcpy(config.instrumentName[1], "INACTIVE");
    std::strcpy(config.instrumentName[2], "INACTIVE");
    config.instrumentType[0] = InstrumentCulvert;
    config.instrumentType[1] = InstrumentInactive;
    config.instrumentType[2] = InstrumentInactive;
    for (int i = 0; i < 3; ++i) config.instrumentTimeout[i] = 90;

    // Smoothed flow, smoothed velocity, smoothed depth, sensor temperature; the 20 mA ends
    // are 100 MGD, 10 ft/s, 120 in and 100 degrees Fahrenheit in base units. Channel 3's
    // enabled byte is 2 on purpose: the unit's own defaults carry it, and any nonzero is "on".
    const std::uint8_t enabled[4] = {1, 1, 2, 1};
    const std::uint8_t dataType[4] = {6, 15, 20, 21};
    const std::int32_t at20mA[4] = {4381264, 3048, 3048, 3778};
    for (int k = 0; k < 4; ++k) {
        AnalogChannel& channel = config.analogChannel[k];
        channel.enabled = enabled[k];
        channel.instrument = 0;
        channel.dataType = dataType[k];
        channel.at4mA = 0;
        channel.at20mA = at20mA[k];
    }

    config.badReadingClearCount = 10;
    config.timeoutClearCount = 10;
    config.reservedFloat[0] = 0.05f;
    config.reservedFloat[1] = 1.0f;
    config.reservedFloat[2] = 0.25f;

    const std::int32_t band[3] = {4381264, 3048, 3048};
    for (int q = 0; q < 3; ++q) {
        config.smoothing[q].band = band[q];
        config.smoothing[q].zeroBelow = 0;
        config.smoothing[q].tcf = 1.0f;
    }
    config.lcdShowSmoothed = 1;

    for (int p = 0; p < 5; ++p) {
        SerialPortSetting& port = config.serialPort[p];
        port.index = static_cast<std::uint8_t>(p);
        port.baudRate = p == PortConfiguration ? 57600 : 9600;
        port.sevenDataBits = 0;
        port.parity = ParityNone;
    }

    config.configPortFlowControl = 0;
    config.outputType = OutputAnalog;
    config.modbusAscii = 1;
    config.modbusAddress = 1;
    config.modbusAltPort = 0;
    config.lcdBacklight = 1;
    config.lcdCycleTime = 4;

    // Inches, feet per second, MGD, square feet, million gallons, degrees Fahrenheit, volts, none.
    const std::uint8_t units[8] = {3, 9, 14, 22, 32, 37, 38, 0};
    std::memcpy(config.unitCode, units, sizeof units);
    config.lcdShow[LcdShowInstrument1] = 1;
    config.analogChannelCount = 4;
    config.totalizerMode = TotalizerNet;
}
