// The system's device setup and registry: the present imaging-class devices with their
// properties, and values under the machine's registry key.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace platform {

enum class DeviceProperty { kDriver, kHardwareId };

// A list of present devices, enumerated by index.
class DeviceList {
  public:
    virtual ~DeviceList() = default;
    // Whether the list has a device at index (the enumeration ends at the first that it lacks).
    virtual bool HasDevice(std::uint32_t index) = 0;
    // Reads a property (UTF-16 text, or a list of texts) into buffer; false when it cannot
    // be read or does not fit.
    virtual bool ReadProperty(std::uint32_t index, DeviceProperty property,
                              std::span<std::uint8_t> buffer) = 0;
};

class DeviceSetup {
  public:
    virtual ~DeviceSetup() = default;
    // The present devices of the imaging class; null when the system returns no list.
    virtual std::unique_ptr<DeviceList> PresentImagingDevices() = 0;
    // Reads a value of a key under HKEY_LOCAL_MACHINE into buffer; any value type. False
    // when the key cannot be opened, the value is missing or it does not fit (the buffer
    // is then left as it was).
    virtual bool ReadMachineValue(std::wstring_view keyPath, std::wstring_view valueName,
                                  std::span<std::uint8_t> buffer) = 0;
};

}  // namespace platform
