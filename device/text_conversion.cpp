#include "device/text_conversion.h"

#include <algorithm>
#include <cwctype>

#include "app/utf.h"

std::wstring Utf8BytesToText(std::span<const std::uint8_t> bytes) {
    auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    std::string_view utf8(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<std::size_t>(end - bytes.begin()));
    std::wstring text = Utf8ToWide(utf8);
    // Unconvertible input gives no text at all rather than a text with holes.
    if (text.find(L'\uFFFD') != std::wstring::npos &&
        utf8.find("\xEF\xBF\xBD") == std::string_view::npos) {
        return {};
    }
    return text;
}

bool TextToUtf8Buffer(std::wstring_view text, std::span<std::uint8_t> buffer) {
    std::string utf8 = WideToUtf8(text);
    if (utf8.size() + 1 > buffer.size()) return false;
    std::copy(utf8.begin(), utf8.end(), buffer.begin());
    buffer[utf8.size()] = 0;
    return true;
}

std::wstring AnsiBytesToText(std::span<const std::uint8_t> bytes) {
    // Windows-1252 differs from Latin-1 only in 0x80..0x9F.
    static constexpr char16_t k80to9F[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::wstring text;
    for (std::uint8_t b : bytes) {
        if (b == 0) break;
        text += (b >= 0x80 && b <= 0x9F) ? static_cast<wchar_t>(k80to9F[b - 0x80])
                                         : static_cast<wchar_t>(b);
    }
    return text;
}

std::int64_t DecimalPrefix(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (value < 100000000000) value = value * 10 + (text[i] - L'0');
    }
    return negative ? -value : value;
}
