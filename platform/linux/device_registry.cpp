#include "platform/linux/device_registry.h"

#include <cwctype>

#include "app/utf.h"
#include "platform/linux/last_error.h"
#include "platform/types.h"

namespace standin {

namespace {

std::wstring Folded(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

bool CopyInto(const std::vector<std::uint8_t>& bytes, std::span<std::uint8_t> buffer) {
    if (bytes.size() > buffer.size()) {
        SetLastError(platform::kErrorInsufficientBuffer);
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return true;
}

class List : public platform::DeviceList {
  public:
    List(std::vector<DeviceRegistry::Device> devices, FaultPlan& faults)
        : devices_(std::move(devices)), faults_(faults) {}
    bool HasDevice(std::uint32_t index) override { return index < devices_.size(); }
    bool ReadProperty(std::uint32_t index, platform::DeviceProperty property,
                      std::span<std::uint8_t> buffer) override {
        if (auto fault = faults_.Check("SetupDiGetDeviceRegistryProperty")) {
            SetLastError(fault->error);
            return false;
        }
        if (index >= devices_.size()) return false;
        const DeviceRegistry::Device& d = devices_[index];
        if (property == platform::DeviceProperty::kDriver) {
            return CopyInto(Utf16Bytes(d.driverKey), buffer);
        }
        std::vector<std::uint8_t> multi;
        for (const std::wstring& id : d.hardwareIds) {
            auto bytes = Utf16Bytes(id);
            multi.insert(multi.end(), bytes.begin(), bytes.end());
        }
        multi.push_back(0);
        multi.push_back(0);
        return CopyInto(multi, buffer);
    }

  private:
    std::vector<DeviceRegistry::Device> devices_;
    FaultPlan& faults_;
};

}  // namespace

std::vector<std::uint8_t> Utf16Bytes(std::wstring_view text) {
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : WideToUtf16(text)) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

void DeviceRegistry::AddDevice(Device device) {
    std::lock_guard lock(mutex_);
    devices_.push_back(std::move(device));
}

void DeviceRegistry::ClearDevices() {
    std::lock_guard lock(mutex_);
    devices_.clear();
}

void DeviceRegistry::SetMachineValue(const std::wstring& keyPath, const std::wstring& name,
                                     std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    values_[Folded(keyPath)][Folded(name)] = std::move(bytes);
}

void DeviceRegistry::SetMachineText(const std::wstring& keyPath, const std::wstring& name,
                                    std::wstring_view text) {
    SetMachineValue(keyPath, name, Utf16Bytes(text));
}

std::unique_ptr<platform::DeviceList> DeviceRegistry::PresentImagingDevices() {
    if (auto fault = faults_.Check("SetupDiGetClassDevs")) {
        SetLastError(fault->error);
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    return std::make_unique<List>(devices_, faults_);
}

bool DeviceRegistry::ReadMachineValue(std::wstring_view keyPath, std::wstring_view valueName,
                                      std::span<std::uint8_t> buffer) {
    if (auto fault = faults_.Check("RegQueryValueEx")) {
        SetLastError(fault->error);
        return false;
    }
    std::lock_guard lock(mutex_);
    auto key = values_.find(Folded(keyPath));
    if (key == values_.end()) {
        SetLastError(platform::kErrorFileNotFound);
        return false;
    }
    auto value = key->second.find(Folded(valueName));
    if (value == key->second.end()) {
        SetLastError(platform::kErrorFileNotFound);
        return false;
    }
    return CopyInto(value->second, buffer);
}

}  // namespace standin
