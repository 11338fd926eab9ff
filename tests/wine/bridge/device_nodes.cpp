#include "device_nodes.h"

#include <windows.h>

#include <cwchar>

namespace bridge {

namespace {

constexpr wchar_t kImageClass[] = L"{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
constexpr wchar_t kEnumUsb[] = L"System\\CurrentControlSet\\Enum\\USB";
constexpr wchar_t kClassKey[] =
    L"System\\CurrentControlSet\\Control\\Class\\{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
// Instance and driver key names of this host's nodes, so that a later host finds them.
constexpr wchar_t kInstancePrefix[] = L"VELORABRIDGE";
constexpr int kFirstDriverKey = 9000;

bool SetText(HKEY key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()), bytes) ==
           ERROR_SUCCESS;
}

bool WriteKey(const std::wstring& path, auto&& fill) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool ok = fill(key);
    RegCloseKey(key);
    return ok;
}

std::wstring Printf(const wchar_t* format, auto... values) {
    wchar_t text[256];
    std::swprintf(text, 256, format, values...);
    return text;
}

}  // namespace

void RemoveDeviceNodes() {
    HKEY usb = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnumUsb, 0, KEY_ALL_ACCESS, &usb) == ERROR_SUCCESS) {
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (RegEnumKeyExW(usb, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            HKEY hardware = nullptr;
            if (RegOpenKeyExW(usb, name, 0, KEY_ALL_ACCESS, &hardware) != ERROR_SUCCESS) continue;
            for (int index = 0; index < 8; ++index) {
                RegDeleteTreeW(hardware, Printf(L"%ls%d", kInstancePrefix, index).c_str());
            }
            RegCloseKey(hardware);
        }
        RegCloseKey(usb);
    }
    for (int index = 0; index < 8; ++index) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                       Printf(L"%ls\\%04d", kClassKey, kFirstDriverKey + index).c_str());
    }
}

bool AddDeviceNode(int index, const sim::SetupEntry& entry) {
    const std::wstring& hardware = entry.hardwareId;
    const std::wstring& friendlyName = entry.friendlyName;
    const std::wstring driverKey = Printf(L"%ls\\%04d", kImageClass, kFirstDriverKey + index);
    // REG_MULTI_SZ: each id with its terminator, then an empty one.
    std::wstring ids = entry.revisionId + L'\0' + hardware + L'\0';
    const bool node = WriteKey(
        Printf(L"%ls\\%ls\\%ls%d", kEnumUsb, hardware.c_str() + 4, kInstancePrefix, index),
        [&](HKEY key) {
            return SetText(key, L"HardwareID", ids, REG_MULTI_SZ) &&
                   SetText(key, L"ClassGUID", kImageClass) && SetText(key, L"Class", L"Image") &&
                   SetText(key, L"Driver", driverKey) && SetText(key, L"DeviceDesc", friendlyName);
        });
    return node && WriteKey(Printf(L"%ls\\%04d", kClassKey, kFirstDriverKey + index),
                            [&](HKEY key) { return SetText(key, L"FriendlyName", friendlyName); });
}

}  // namespace bridge
