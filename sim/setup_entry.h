// How the operating system's device setup records a plugged device: the hardware ids made
// from its descriptor, and the name it registers (the scanner's friendly name, or a generic
// one for any other imaging device). Both platforms' emulated buses write these.
#pragma once

#include <optional>
#include <string>

#include "sim/usb_device.h"

namespace sim {

struct SetupEntry {
    std::wstring revisionId;  // USB\VID_xxxx&PID_xxxx&REV_xxxx
    std::wstring hardwareId;  // USB\VID_xxxx&PID_xxxx
    std::wstring friendlyName;
};

// Nothing for a device that fails its descriptor request: setup cannot identify it either.
std::optional<SetupEntry> DescribeForSetup(UsbDevice& device, const std::wstring& scannerName);

}  // namespace sim
