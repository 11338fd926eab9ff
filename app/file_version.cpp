#include <cstdio>

#include "app/fwupdate_dlg.h"
#include "app/text_format.h"
#include "app/utf.h"

std::wstring ReadFileVersion(std::wstring_view path) {
    platform::Resources& resources = platform::Get().resources();
    std::vector<std::uint8_t> info;
    if (!resources.GetFileVersionInfo(path, &info) || info.empty()) return {};

    std::span<const std::uint8_t> translation;
    if (!resources.VerQueryValue(info, L"\\VarFileInfo\\Translation", &translation) ||
        translation.size() < 4) {
        return {};
    }
    // A 16-bit language id and a 16-bit code page, each low byte first.
    std::wstring key =
        Format(L"%02X%02X%02X%02X", translation[1], translation[0], translation[3], translation[2]);
    std::span<const std::uint8_t> value;
    if (!resources.VerQueryValue(info, Format(L"\\StringFileInfo\\%s\\%s", key, L"FileVersion"),
                                 &value)) {
        return {};
    }
    std::vector<std::uint16_t> units(value.size() / 2);
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<std::uint16_t>(value[2 * i] | (value[2 * i + 1] << 8));
    }
    std::wstring text = Utf16ToWide(units);
    if (auto end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
    if (text.size() > 255) text.resize(255);
    return text;
}

std::wstring ProgramName() {
    std::wstring path = platform::Get().process().ModulePath();
    std::size_t separator = path.find_last_of(L"\\/:");
    std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    if (std::size_t dot = name.rfind(L'.'); dot != std::wstring::npos && dot != 0) {
        name.resize(dot);
    }
    return name;
}
