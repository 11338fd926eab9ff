#include "app/utf.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Utf, Utf8RoundTripsEveryPlane) {
    const std::wstring texts[] = {L"",         L"USB",     L"Prüfen",
                                  L"韌體更新", L"ภาษาไทย", L"\U0001F4E0 fax"};
    for (const auto& text : texts) EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
}

TEST(Utf, InvalidUtf8BecomesReplacementCharacters) {
    struct Case {
        std::string bytes;
        std::wstring expected;
    };
    const Case cases[] = {
        {"a\xFF"
         "b",
         L"a\uFFFDb"},                            // not a lead byte
        {"\xC3", L"\uFFFD"},                      // cut short at the end
        {"\xC3(", L"\uFFFD("},                    // bad continuation
        {"\xC0\xAF", L"\uFFFD\uFFFD"},            // overlong slash
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToWide(c.bytes), c.expected);
}

TEST(Utf, Utf16SurrogatePairsJoin) {
    std::vector<std::uint16_t> units = {0x0041, 0xD83D, 0xDCE0, 0xDC00, 0x0042};
    EXPECT_EQ(Utf16ToWide(units), L"A\U0001F4E0\uFFFDB");
    EXPECT_EQ(WideToUtf16(L"A\U0001F4E0"), u"A\U0001F4E0");
}

}  // namespace
