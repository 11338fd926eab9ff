// Conversions between the program's wide text and the byte forms it meets: UTF-8 from
// the device and the settings file, UTF-16 from string tables and Windows resources.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view bytes);
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf16ToWide(std::span<const std::uint16_t> units);
std::u16string WideToUtf16(std::wstring_view text);
