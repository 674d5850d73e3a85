// A fake /dev, /sys and /proc in a temporary folder, laid out as Linux lays them out for USB
// serial adapters, so that port naming and open advice can be tested with no adapter plugged
// in. Device nodes are plain files: the scan never opens them.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "comm/PortNames.h"
#include "tests/comm/SimulatedUnit.h"

struct FakeUsbDevice {
    std::string vendorId, productId;
    std::string manufacturer, product, serial;  // empty: the attribute is missing
};

class CFakeSystem {
public:
    CFakeSystem()
    {
        const std::string root = folder.Path();
        roots = {root + "/dev", root + "/sys/class/tty", root + "/sim",
                 root + "/sys/bus/usb/devices", root + "/proc"};
        for (const std::string& dir :
             {roots.devDir, roots.sysTtyDir, roots.simDir, roots.sysUsbDir, roots.procDir})
            std::filesystem::create_directories(dir);
    }

    const PortScanRoots& Roots() const { return roots; }
    std::string Dev(const std::string& name) const { return roots.devDir + "/" + name; }

    // A USB device on bus 1 at `busPort` ("1-2"), with its first interface served by
    // `interfaceDriver` (empty: by none).
    std::string AddUsbDevice(const std::string& busPort, const FakeUsbDevice& device,
                             const std::string& interfaceDriver)
    {
        const std::string usb = Sys("devices/pci0000:00/usb1/" + busPort);
        std::filesystem::create_directories(usb + "/" + busPort + ":1.0");
        for (const auto& [name, value] : {std::pair{"idVendor", device.vendorId},
                                          {"idProduct", device.productId},
                                          {"manufacturer", device.manufacturer},
                                          {"product", device.product},
                                          {"serial", device.serial}})
            if (!value.empty()) std::ofstream(usb + "/" + name) << value << "\n";
        std::filesystem::create_directory_symlink(usb, roots.sysUsbDir + "/" + busPort);
        const std::string interface = usb + "/" + busPort + ":1.0";
        std::filesystem::create_directory_symlink(interface,
                                                  roots.sysUsbDir + "/" + busPort + ":1.0");
        if (!interfaceDriver.empty()) LinkDriver(interface, "usb", interfaceDriver);
        return interface;
    }

    // A converter's terminal (ttyUSB: a port device under the interface, with the serial
    // driver) or a modem's (ttyACM: the interface itself, served by cdc_acm), with its node in
    // /dev and, when `byId` is given, its link in /dev/serial/by-id.
    void AddUsbTerminal(const std::string& tty, const std::string& busPort,
                        const FakeUsbDevice& device, const std::string& byId = "")
    {
        const bool modem = tty.starts_with("ttyACM");
        const std::string interface =
            AddUsbDevice(busPort, device, modem ? "cdc_acm" : UsbSerialDriver(device));
        std::string port = interface;
        if (!modem) {
            port = interface + "/" + tty;
            std::filesystem::create_directories(port);
            LinkDriver(port, "usb-serial", UsbSerialDriver(device));
        }
        AddTerminal(tty, port);
        if (!byId.empty()) {
            std::filesystem::create_directories(roots.devDir + "/serial/by-id");
            std::filesystem::create_symlink("../../" + tty, roots.devDir + "/serial/by-id/" + byId);
        }
    }

    // A terminal in /sys/class/tty whose device is `deviceFolder`, and its node in /dev.
    void AddTerminal(const std::string& tty, const std::string& deviceFolder)
    {
        const std::string sys = roots.sysTtyDir + "/" + tty;
        std::filesystem::create_directories(sys);
        std::filesystem::create_directory_symlink(deviceFolder, sys + "/device");
        std::ofstream(Dev(tty)).put('\0');
    }

    // A process with the name /proc/N/comm gives, holding the files `open` open.
    void AddProcess(int pid, const std::string& name, const std::vector<std::string>& open = {})
    {
        const std::string proc = roots.procDir + "/" + std::to_string(pid);
        std::filesystem::create_directories(proc + "/fd");
        std::ofstream(proc + "/comm") << name << "\n";
        int fd = 3;
        for (const std::string& file : open)
            std::filesystem::create_symlink(file, proc + "/fd/" + std::to_string(fd++));
    }

private:
    std::string Sys(const std::string& path) const { return folder.Path() + "/sys/" + path; }

    static std::string UsbSerialDriver(const FakeUsbDevice& device)
    {
        if (device.vendorId == "1a86") return "ch341-uart";
        if (device.vendorId == "10c4") return "cp210x";
        return "ftdi_sio";
    }

    void LinkDriver(const std::string& deviceFolder, const std::string& bus,
                    const std::string& driver)
    {
        const std::string folderOfDriver = Sys("bus/" + bus + "/drivers/" + driver);
        std::filesystem::create_directories(folderOfDriver);
        std::filesystem::create_directory_symlink(folderOfDriver, deviceFolder + "/driver");
    }

    TempFolder folder;
    PortScanRoots roots;
};

inline const FakeUsbDevice kFtdiAdapter{"0403", "6001", "FTDI", "FT232R USB UART", "A50285BI"};
inline const FakeUsbDevice kCh340Adapter{"1a86", "7523", "", "USB Serial", ""};
inline const FakeUsbDevice kCp2102Adapter{"10c4", "ea60", "Silicon Labs",
                                          "CP2102 USB to UART Bridge Controller", "0001"};
inline const FakeUsbDevice kAcmBoard{"2341", "0043", "Arduino (www.arduino.cc)", "", "7573530"};
