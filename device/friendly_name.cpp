// The scanner's friendly name, as the system's device setup registered it. The busy-lock
// names carry it, so the lookup must find the name the maker's applications find.
#include "device/friendly_name.h"

#include <array>
#include <cwctype>

#include "app/fwupdate_dlg.h"
#include "app/text_format.h"
#include "link/device_link.h"

namespace {

constexpr wchar_t kClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class";
constexpr std::size_t kPropertyBytes = 256;
constexpr std::size_t kPrefixLength = 21;

// UTF-16LE text up to its first zero (the first text of a list of texts).
std::wstring FirstText(std::span<const std::uint8_t> bytes) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto unit = static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8);
        if (unit == 0) break;
        text += unit;
    }
    return text;
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::towupper(text[i]) != std::towupper(prefix[i])) return false;
    }
    return true;
}

}  // namespace

bool ReadFriendlyName(std::wstring_view keyPath, std::wstring* name) {
    std::array<std::uint8_t, FRIENDLY_NAME_BYTES> buffer{};
    if (!platform::Get().deviceSetup().ReadMachineValue(keyPath, L"FriendlyName", buffer)) {
        return false;
    }
    // A value that fills the buffer without a terminating zero is not a name that fits.
    std::wstring text = FirstText(buffer);
    if (text.size() >= FRIENDLY_NAME_BYTES / 2) return false;
    *name = text;
    return true;
}

bool CFWUpdateDlg::FindDeviceFriendlyName() {
    platform::DeviceSetup& setup = platform::Get().deviceSetup();
    std::unique_ptr<platform::DeviceList> devices = setup.PresentImagingDevices();
    if (!devices) return false;
    std::wstring prefix = Format(L"USB\\VID_%04X&PID_%04X", SCANNER_VENDOR_ID, SCANNER_PRODUCT_ID);
    for (std::uint32_t index = 0; devices->HasDevice(index); ++index) {
        std::array<std::uint8_t, kPropertyBytes> driver{};
        std::array<std::uint8_t, kPropertyBytes> hardwareIds{};
        if (!devices->ReadProperty(index, platform::DeviceProperty::kDriver, driver))
            driver.fill(0);
        if (!devices->ReadProperty(index, platform::DeviceProperty::kHardwareId, hardwareIds)) {
            hardwareIds.fill(0);
        }
        if (!StartsWithIgnoringCase(FirstText(hardwareIds), prefix.substr(0, kPrefixLength)))
            continue;
        std::wstring name;
        if (ReadFriendlyName(Format(L"%s\\%s", kClassKey, FirstText(driver)), &name)) {
            std::lock_guard lock(friendlyNameMutex_);
            deviceFriendlyName = name;
            return true;
        }
    }
    return false;
}

std::wstring CFWUpdateDlg::FriendlyName() {
    std::lock_guard lock(friendlyNameMutex_);
    return deviceFriendlyName;
}
