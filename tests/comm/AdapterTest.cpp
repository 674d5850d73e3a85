// USB adapters as a fake sysfs tree shows them: their names in the port list, their by-id
// links, and the advice when a system service keeps the adapter from opening.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "comm/PortNames.h"
#include "comm/SerialPort.h"
#include "sim/Pty.h"
#include "tests/comm/FakeSystem.h"

namespace {

std::vector<std::string> Labels(const std::vector<SerialPortEntry>& ports)
{
    std::vector<std::string> labels;
    for (const SerialPortEntry& port : ports) labels.push_back(port.label);
    return labels;
}

TEST(UsbAdapters, NamedByProductAndSerialNumberWithTheirByIdLinks)
{
    CFakeSystem system;
    const std::string ftdiLink = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    system.AddUsbTerminal("ttyUSB0", "1-1", kFtdiAdapter, ftdiLink);
    system.AddUsbTerminal("ttyUSB1", "1-2", kCh340Adapter);  // no maker's name, no serial
    system.AddUsbTerminal("ttyACM0", "1-3", kAcmBoard, "usb-Arduino_7573530-if00");
    // A maker's string with a terminal escape in it, and trailing blanks.
    system.AddUsbTerminal("ttyUSB2", "1-4", {"0403", "6015", "", "Evil\x1b[2J Cable   ", "X\x07Y"});
    system.AddTerminal("ttyS0", system.Roots().sysTtyDir);  // an on-board UART: not on USB

    const std::vector<SerialPortEntry> ports = ScanSerialPorts(system.Roots());
    const std::string dev = system.Roots().devDir + "/";
    EXPECT_EQ(Labels(ports), (std::vector<std::string>{
                                 "COM 1 (FT232R USB UART, A50285BI, " + dev + "ttyUSB0)",
                                 "COM 2 (USB Serial, " + dev + "ttyUSB1)",
                                 "COM 3 (Evil[2J Cable, XY, " + dev + "ttyUSB2)",
                                 "COM 4 (Arduino (www.arduino.cc), 7573530, " + dev + "ttyACM0)",
                                 "COM 5 (" + dev + "ttyS0)",
                             }));
    EXPECT_EQ(ports[0].byId, dev + "serial/by-id/" + ftdiLink);
    EXPECT_EQ(ports[1].byId, "");
    EXPECT_EQ(ports[3].byId, dev + "serial/by-id/usb-Arduino_7573530-if00");

    // The by-id link leads to the adapter as its device does; --port takes either as it is.
    const std::optional<UsbAdapter> adapter = FindUsbAdapter(ports[0].byId, system.Roots());
    ASSERT_TRUE(adapter);
    EXPECT_EQ(adapter->manufacturer, "FTDI");
    EXPECT_EQ(adapter->driver, "ftdi_sio");
    EXPECT_EQ(FindUsbAdapter(ports[3].device, system.Roots())->driver, "cdc_acm");
    EXPECT_FALSE(FindUsbAdapter(ports[4].device, system.Roots()));
    EXPECT_EQ(ResolvePortName(ports[0].byId, system.Roots()), ports[0].byId);
}

TEST(OpenAdvice, ModemManagerProbingACdcAcmDevice)
{
    CFakeSystem system;
    system.AddUsbTerminal("ttyACM0", "1-1", kAcmBoard);
    system.AddUsbTerminal("ttyUSB0", "1-2", kFtdiAdapter);
    const std::string acm = system.Dev("ttyACM0");
    const std::string rule =
        "ATTRS{idVendor}==\"2341\", ATTRS{idProduct}==\"0043\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"";

    // Not running: nothing to say about it.
    EXPECT_EQ(DescribeOpenError(acm, EBUSY, system.Roots()),
              acm + ": Device or resource busy (another program holds the port)");

    system.AddProcess(412, "ModemManager");
    const std::string busy = DescribeOpenError(acm, EBUSY, system.Roots());
    EXPECT_TRUE(busy.starts_with(acm + ": Device or resource busy (another program holds the port)"
                                       " (ModemManager is running and may be probing this CDC-ACM "
                                       "device"))
        << busy;
    EXPECT_NE(busy.find(rule), std::string::npos) << busy;
    // Refused access is the user's group, not the modem manager; converters' terminals are not
    // modems, and it leaves them alone.
    EXPECT_EQ(DescribeOpenError(acm, EACCES, system.Roots()).find("ModemManager"),
              std::string::npos);
    const std::string ftdi = DescribeOpenError(system.Dev("ttyUSB0"), EBUSY, system.Roots());
    EXPECT_EQ(ftdi.find("ModemManager"), std::string::npos) << ftdi;
}

TEST(OpenAdvice, BrailleDriverHoldingACh340OrCp210xAdapter)
{
    const std::string ch340Text =
        " (brltty, the braille display driver, has taken the CH340 adapter";
    {
        // It has taken the whole USB device: the terminal is gone.
        CFakeSystem system;
        system.AddUsbDevice("1-1", kCh340Adapter, "usbfs");
        const std::string gone = system.Dev("ttyUSB0");
        EXPECT_EQ(DescribeOpenError(gone, ENOENT, system.Roots()),
                  gone + ": No such file or directory");
        system.AddProcess(88, "brltty");
        EXPECT_EQ(DescribeOpenError(gone, ENOENT, system.Roots()),
                  gone + ": No such file or directory" + ch340Text +
                      ": where no braille display is used, remove it with sudo apt remove "
                      "brltty, then plug the adapter in again)");
    }
    {
        // The serial driver has the adapter: brltty running elsewhere is no reason.
        CFakeSystem system;
        system.AddUsbTerminal("ttyUSB0", "1-1", kCh340Adapter);
        system.AddUsbDevice("1-2", kFtdiAdapter, "");  // no driver, but not a braille chip
        system.AddProcess(88, "brltty");
        EXPECT_EQ(DescribeOpenError(system.Dev("ttyUSB5"), ENOENT, system.Roots()),
                  system.Dev("ttyUSB5") + ": No such file or directory");
    }
    {
        // It holds the terminal open; a pseudo-terminal stands in for the adapter's.
        CPty pty;
        ASSERT_TRUE(pty.Open(57600));
        CFakeSystem system;
        const std::string tty = pty.SlavePath().substr(pty.SlavePath().rfind('/') + 1);
        system.AddTerminal(tty, system.AddUsbDevice("1-1", kCp2102Adapter, "cp210x"));
        system.AddProcess(88, "brltty", {pty.SlavePath()});
        const std::string busy = DescribeOpenError(pty.SlavePath(), EBUSY, system.Roots());
        EXPECT_NE(busy.find("(held by brltty, process 88) (brltty, the braille display driver, "
                            "has taken the CP210x adapter"),
                  std::string::npos)
            << busy;
    }
}

}  // namespace
