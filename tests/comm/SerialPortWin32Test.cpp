// The Windows serial port where no port is needed: names, the registry's port list, the
// settings handed to the driver, and the texts of a failed open. Talking to a unit over a
// port is tried by running weirlink.exe against the simulated unit (tests/wine).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "comm/Communications.h"
#include "comm/PortNames.h"
#include "comm/SerialPortWin32.h"
#include "config/Win32Error.h"

namespace {

// A SERIALCOMM of the test's own, under HKEY_CURRENT_USER; gone at the end of the test.
class CTestPortKey {
public:
    explicit CTestPortKey(const std::vector<std::pair<std::string, std::string>>& ports)
    {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
        HKEY key = nullptr;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return;
        for (const auto& [device, name] : ports)
            ::RegSetValueExA(key, device.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(name.c_str()),
                             static_cast<DWORD>(name.size() + 1));
        const DWORD notAName = 3;
        ::RegSetValueExA(key, "\\Device\\Odd", 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&notAName), sizeof notAName);
        ::RegCloseKey(key);
    }
    ~CTestPortKey() { ::RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }

    static PortScanRoots Roots() { return {true, kKey}; }

private:
    static constexpr char kKey[] = "Software\\Weirlink Config Tests\\SERIALCOMM";
};

}  // namespace

TEST(Win32PortNames, ComNumbersAreTheSystemsOwnInEveryForm)
{
    const std::pair<const char*, const char*> names[] = {
        {"COM3", "\\\\.\\COM3"},          {"com 12", "\\\\.\\COM12"},
        {"COM12", "\\\\.\\COM12"},        {"\\\\.\\COM12", "\\\\.\\COM12"},
        {"\\\\.\\CNCA0", "\\\\.\\CNCA0"}, {"COM0", "COM0"}};
    for (const auto& [name, device] : names) EXPECT_EQ(ResolvePortName(name), device) << name;
}

// The drivers' devices name the ports in the list; names without a number, duplicates and
// values that are no text are left out; the usual eight stay offered around them.
TEST(Win32PortNames, TheRegistrysPortsByNumberBesideTheUsualEight)
{
    CTestPortKey key({{"\\Device\\VCP0", "COM12"},
                      {"\\Device\\Serial0", "COM1"},
                      {"\\Device\\Silabser0", "COM3"},
                      {"\\Device\\Again", "COM3"},
                      {"\\Device\\com0com10", "CNCA0"}});
    const std::vector<SerialPortEntry> ports = ScanSerialPorts(CTestPortKey::Roots());
    std::vector<std::string> devices;
    for (const SerialPortEntry& port : ports) devices.push_back(port.device);
    EXPECT_EQ(devices, (std::vector<std::string>{"\\\\.\\COM1", "\\\\.\\COM3", "\\\\.\\COM12"}));
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].label, "COM 1 (\\Device\\Serial0)");
    EXPECT_EQ(ports[2].label, "COM 12 (\\Device\\VCP0)");
    // Of two devices that claim one number, the registry's order picks one.
    EXPECT_TRUE(ports[1].label == "COM 3 (\\Device\\Silabser0)" ||
                ports[1].label == "COM 3 (\\Device\\Again)")
        << ports[1].label;

    const std::vector<SerialPortEntry> listed = ListSerialPorts(8, CTestPortKey::Roots());
    std::vector<int> numbers;
    for (const SerialPortEntry& port : listed) numbers.push_back(port.number);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 12}));
    EXPECT_EQ(listed[1].label, "COM 2");
    EXPECT_EQ(listed[1].device, "");
    EXPECT_EQ(listed[8].device, "\\\\.\\COM12");

    EXPECT_TRUE(ScanSerialPorts({true, "Software\\Weirlink Config Tests\\None"}).empty());
}

// Raw 8N1 with every kind of flow control and translation off, whatever the port held;
// the driver's own fields stay as they were.
TEST(Win32SerialPort, LineSettingsAndTimeOutsForTheDriver)
{
    DCB held{};
    held.BaudRate = 9600;
    held.ByteSize = 7;
    held.Parity = EVENPARITY;
    held.StopBits = TWOSTOPBITS;
    held.fParity = held.fOutxCtsFlow = held.fOutxDsrFlow = held.fDsrSensitivity = TRUE;
    held.fOutX = held.fInX = held.fErrorChar = held.fNull = held.fAbortOnError = TRUE;
    held.fDtrControl = DTR_CONTROL_HANDSHAKE;
    held.fRtsControl = RTS_CONTROL_TOGGLE;
    held.XonLim = 123;
    held.EvtChar = 'x';
    const DCB line = LineSettings(held, 115200);
    EXPECT_EQ(line.DCBlength, sizeof(DCB));
    EXPECT_EQ(line.BaudRate, 115200u);
    EXPECT_EQ(line.ByteSize, 8);
    EXPECT_EQ(line.Parity, NOPARITY);
    EXPECT_EQ(line.StopBits, ONESTOPBIT);
    EXPECT_TRUE(line.fBinary);
    const DWORD off[] = {line.fParity,         line.fOutxCtsFlow, line.fOutxDsrFlow,
                         line.fDsrSensitivity, line.fOutX,        line.fInX,
                         line.fErrorChar,      line.fNull,        line.fAbortOnError};
    for (const DWORD flag : off) EXPECT_EQ(flag, 0u);
    EXPECT_EQ(line.fDtrControl, unsigned(DTR_CONTROL_ENABLE));
    EXPECT_EQ(line.fRtsControl, unsigned(RTS_CONTROL_ENABLE));
    EXPECT_EQ(line.XonLim, 123);
    EXPECT_EQ(line.EvtChar, 'x');

    // Each read asks for one byte: its total time-out is the wait for that byte.
    const COMMTIMEOUTS perByte = TimeoutsFor(5000);
    EXPECT_EQ(perByte.ReadIntervalTimeout, 0u);
    EXPECT_EQ(perByte.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(perByte.ReadTotalTimeoutConstant, 5000u);
    EXPECT_EQ(perByte.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(perByte.WriteTotalTimeoutConstant, 5000u);
    // All zeros would wait for ever; no wait at all must return at once.
    const COMMTIMEOUTS none = TimeoutsFor(0);
    EXPECT_EQ(none.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(none.ReadTotalTimeoutConstant, 0u);
    EXPECT_NE(none.WriteTotalTimeoutConstant, 0u);
}

// The protocol's text, then the port and the system's reason, with advice where there is a
// usual remedy. A port that cannot be opened leaves a closed port behind.
TEST(Win32SerialPort, FailedOpensTellTheSystemsReasonAndWhatToDo)
{
    const std::string notFound = SystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(notFound.empty() || notFound.ends_with('\n') || notFound.starts_with("Error "));
    const std::string noPort =
        " (this computer has no such port: the Device Manager lists the COM ports under Ports)";
    const std::string inUse =
        " (another program has the port open: close it there, or choose another port)";
    EXPECT_EQ(DescribeOpenError("\\\\.\\COM3", ERROR_ACCESS_DENIED),
              "COM3: " + SystemErrorText(ERROR_ACCESS_DENIED) + inUse);
    EXPECT_EQ(DescribeOpenError("\\\\.\\COM3", ERROR_SHARING_VIOLATION),
              "COM3: " + SystemErrorText(ERROR_SHARING_VIOLATION) + inUse);
    EXPECT_EQ(DescribeOpenError("\\\\.\\CNCA0", ERROR_GEN_FAILURE),
              "CNCA0: " + SystemErrorText(ERROR_GEN_FAILURE));

    CSerialPort port;
    EXPECT_FALSE(port.Open("\\\\.\\COM240", 57600));
    EXPECT_EQ(port.GetOpenError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(port.IsOpen());
    std::uint8_t byte = 0;
    EXPECT_FALSE(port.ReadByte(byte));
    EXPECT_FALSE(port.WriteString("OK\n"));
    EXPECT_FALSE(port.Configure(57600));
    port.Flush();
    port.Close();

    // Every spelling of the number reaches the same port, and the same text.
    for (const char* name : {"COM240", "com 240", "\\\\.\\COM240"}) {
        CCommunications comm;
        EXPECT_FALSE(comm.EnterCommandMode(name, 57600));
        EXPECT_EQ(comm.GetErrorText(),
                  std::string(kOpenFailedText) + "\nCOM240: " + notFound + noPort)
            << name;
    }
}
