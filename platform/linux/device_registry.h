// The stand-in's device setup and machine registry: a table of present imaging devices
// and registry values that scenarios and tests fill.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device_setup.h"
#include "platform/linux/fault_plan.h"

namespace standin {

class DeviceRegistry : public platform::DeviceSetup {
  public:
    explicit DeviceRegistry(FaultPlan& faults) : faults_(faults) {}

    struct Device {
        std::vector<std::wstring> hardwareIds;
        std::wstring driverKey;  // "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0000"
    };
    void AddDevice(Device device);
    void ClearDevices();
    // A value under HKEY_LOCAL_MACHINE\keyPath, stored as these bytes.
    void SetMachineValue(const std::wstring& keyPath, const std::wstring& name,
                         std::vector<std::uint8_t> bytes);
    // A text value (REG_SZ): UTF-16 with its terminating zero.
    void SetMachineText(const std::wstring& keyPath, const std::wstring& name,
                        std::wstring_view text);

    std::unique_ptr<platform::DeviceList> PresentImagingDevices() override;
    bool ReadMachineValue(std::wstring_view keyPath, std::wstring_view valueName,
                          std::span<std::uint8_t> buffer) override;

  private:
    FaultPlan& faults_;
    std::mutex mutex_;
    std::vector<Device> devices_;
    // Keys and value names compare without regard to case, as in the registry.
    std::map<std::wstring, std::map<std::wstring, std::vector<std::uint8_t>>> values_;
};

// UTF-16LE bytes of a text, with a terminating zero.
std::vector<std::uint8_t> Utf16Bytes(std::wstring_view text);

}  // namespace standin
