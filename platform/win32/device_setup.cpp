#include "platform/win32/device_setup.h"

#include <algorithm>
#include <vector>

#include "platform/win32/windows_api.h"
// SetupAPI needs <windows.h> first.
#include <setupapi.h>

namespace win32 {

namespace {

// GUID_DEVCLASS_IMAGE, the imaging device class (scanners and cameras).
constexpr GUID kImagingClass = {
    0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

class DeviceList final : public platform::DeviceList {
  public:
    explicit DeviceList(HDEVINFO set) : set_(set) {}
    ~DeviceList() override { ::SetupDiDestroyDeviceInfoList(set_); }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    bool HasDevice(std::uint32_t index) override {
        SP_DEVINFO_DATA device{};
        return Find(index, &device);
    }

    bool ReadProperty(std::uint32_t index, platform::DeviceProperty property,
                      std::span<std::uint8_t> buffer) override {
        SP_DEVINFO_DATA device{};
        if (!Find(index, &device)) return false;
        const DWORD which =
            property == platform::DeviceProperty::kDriver ? SPDRP_DRIVER : SPDRP_HARDWAREID;
        return ::SetupDiGetDeviceRegistryPropertyW(set_, &device, which, nullptr, buffer.data(),
                                                   static_cast<DWORD>(buffer.size()),
                                                   nullptr) != FALSE;
    }

  private:
    bool Find(std::uint32_t index, SP_DEVINFO_DATA* device) {
        device->cbSize = sizeof(*device);
        return ::SetupDiEnumDeviceInfo(set_, index, device) != FALSE;
    }

    HDEVINFO set_;
};

}  // namespace

std::unique_ptr<platform::DeviceList> DeviceSetup::PresentImagingDevices() {
    HDEVINFO set = ::SetupDiGetClassDevsW(&kImagingClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<DeviceList>(set);
}

bool DeviceSetup::ReadMachineValue(std::wstring_view keyPath, std::wstring_view valueName,
                                   std::span<std::uint8_t> buffer) {
    const std::wstring path = Terminated(keyPath), name = Terminated(valueName);
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    // The system may scribble on a buffer that turns out too small: read into a copy (never
    // a null one, or the call only reports the size) and hand over only a value that fitted.
    std::vector<std::uint8_t> value(std::max<std::size_t>(buffer.size(), 1));
    DWORD size = static_cast<DWORD>(buffer.size());
    const LONG result =
        ::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, value.data(), &size);
    ::RegCloseKey(key);
    if (result != ERROR_SUCCESS) return false;
    std::copy(value.begin(), value.begin() + size, buffer.begin());
    return true;
}

}  // namespace win32
