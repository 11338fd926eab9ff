// Device setup and the machine registry through SetupAPI and the registry functions.
#pragma once

#include "platform/device_setup.h"

namespace win32 {

class DeviceSetup final : public platform::DeviceSetup {
  public:
    std::unique_ptr<platform::DeviceList> PresentImagingDevices() override;
    bool ReadMachineValue(std::wstring_view keyPath, std::wstring_view valueName,
                          std::span<std::uint8_t> buffer) override;
};

}  // namespace win32
