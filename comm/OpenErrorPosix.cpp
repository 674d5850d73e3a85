// Why a serial device would not open, and what the technician can do about it. Besides the
// operating system's reason, two system services are known to take USB adapters away from
// everyone else; both are recognised from /proc and sysfs.
#include <cerrno>
#include <cstring>

#include "comm/SerialPort.h"

namespace {

// The converter chips that the braille display driver claims for itself, because some
// braille displays use them too.
struct BrailleClaimedChip {
    const char* vendorId;
    const char* productId;
    const char* name;
};
constexpr BrailleClaimedChip kBrailleClaimedChips[] = {
    {"1a86", "7523", "CH340"},
    {"10c4", "ea60", "CP210x"},
};

const char* BrailleClaimedChipName(const UsbAdapter& adapter)
{
    for (const BrailleClaimedChip& chip : kBrailleClaimedChips)
        if (adapter.vendorId == chip.vendorId && adapter.productId == chip.productId)
            return chip.name;
    return nullptr;
}

// The modem manager opens every new CDC-ACM device for itself to send it AT commands, which
// keeps everyone else out for a while.
std::string ModemManagerAdvice(const std::string& device, int error, const PortScanRoots& roots)
{
    if (error != EBUSY) return "";
    const std::optional<UsbAdapter> adapter = FindUsbAdapter(device, roots);
    if (!adapter || adapter->driver != "cdc_acm" || !IsProgramRunning("ModemManager", roots))
        return "";
    return " (ModemManager is running and may be probing this CDC-ACM device: try again in a "
           "minute, or keep ModemManager off it with a udev rule, for example in "
           "/etc/udev/rules.d/99-weirlink.rules: ATTRS{idVendor}==\"" +
           adapter->vendorId + "\", ATTRS{idProduct}==\"" + adapter->productId +
           "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"; then plug the adapter in again)";
}

// The braille display driver either holds the adapter's terminal open or has taken the
// whole USB device, in which case the terminal is gone.
std::string BrailleDriverAdvice(const std::string& device, int error, const PortScanRoots& roots)
{
    if (!IsProgramRunning("brltty", roots)) return "";
    const char* chip = nullptr;
    if (error == EBUSY) {
        const std::optional<UsbAdapter> adapter = FindUsbAdapter(device, roots);
        if (adapter && FindPortHolder(device, roots).starts_with("brltty,"))
            chip = BrailleClaimedChipName(*adapter);
    } else if (error == ENOENT || error == ENODEV) {
        for (const UsbAdapter& unserved : FindUnservedUsbDevices(roots))
            if ((chip = BrailleClaimedChipName(unserved)) != nullptr) break;
    }
    if (chip == nullptr) return "";
    return std::string(" (brltty, the braille display driver, has taken the ") + chip +
           " adapter: where no braille display is used, remove it with sudo apt remove brltty, "
           "then plug the adapter in again)";
}

}  // namespace

const int kNoDeviceError = ENODEV;

std::string DescribeOpenError(const std::string& device, int error, const PortScanRoots& roots)
{
    std::string text = device + ": " + std::strerror(error);
    switch (error) {
        case EACCES:
        case EPERM:
            text +=
                " (your user needs to be in the dialout group: sudo usermod -aG dialout $USER, "
                "then log out and in again)";
            break;
        case EBUSY: {
            // Only a holder that can be seen is named; guessing one would send the user
            // after the wrong program.
            const std::string holder = FindPortHolder(device, roots);
            text +=
                holder.empty() ? " (another program holds the port)" : " (held by " + holder + ")";
            break;
        }
        default: break;
    }
    return text + ModemManagerAdvice(device, error, roots) +
           BrailleDriverAdvice(device, error, roots);
}
