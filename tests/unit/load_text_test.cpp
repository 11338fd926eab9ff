#include "app/load_text.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/text_format.h"
#include "app/thread_language.h"
#include "app_harness.h"

namespace {

TEST(ChooseTableLanguage, ExactThenNeutralThenFallback) {
    // The seventeen tables the program carries.
    const platform::LangId tables[] = {0x0001, 0x0004, 0x0404, 0x0005, 0x0409, 0x000C,
                                       0x0007, 0x0021, 0x0010, 0x0012, 0x0015, 0x0016,
                                       0x0019, 0x000A, 0x001B, 0x001E, 0x001F};
    auto has = [&](platform::LangId l) { return std::ranges::find(tables, l) != std::end(tables); };
    struct Case {
        platform::LangId wanted;
        platform::LangId table;
        const char* what;
    };
    const Case cases[] = {
        {0x0404, 0x0404, "Traditional Chinese (Taiwan) exactly"},
        {0x0C0C, 0x000C, "French (Canada) by its primary language"},
        {0x0804, 0x0004, "Chinese (PRC) by the neutral Chinese table"},
        {0x0409, 0x0409, "English (US) exactly"},
        {0x0411, 0x0409, "Japanese has no table: English"},
        {0x0809, 0x0409, "English (UK): no neutral English table"},
        {0x0C04, 0x0404, "Chinese (Hong Kong) is written in traditional characters"},
        {0x1404, 0x0404, "Chinese (Macao) likewise"},
        {0x1004, 0x0004, "Chinese (Singapore) is written in simplified characters"},
        {0x0C0A, 0x000A, "Spanish (Spain)"},
        {0x340A, 0x000A, "Spanish (Chile)"},
        {0x0416, 0x0016, "Portuguese (Brazil)"},
        {0x0401, 0x0001, "Arabic (Saudi Arabia)"},
    };
    for (const Case& c : cases) EXPECT_EQ(ChooseTableLanguage(c.wanted, has), c.table) << c.what;
}

TEST(LoadText, FindsTextsInTheThreadsLanguage) {
    AppHarness h;
    SetThreadLanguage(0x0409);
    EXPECT_EQ(LoadText(256), L"The firmware update tool is already open.");
    EXPECT_EQ(Format(LoadText(242), 57), L"Burning firmware... (57%)");
    EXPECT_EQ(LoadText(217).find(L'\n'), std::wstring(L"FW Upgrade! Please wait...").size());
    EXPECT_EQ(LoadText(236).back(), L'\u2026');
    EXPECT_EQ(LoadText(101), L"");
    EXPECT_EQ(LoadText(266), L"");

    SetThreadLanguage(0x0C0C);
    std::wstring french = LoadText(262);
    SetThreadLanguage(0x040C);
    EXPECT_EQ(LoadText(262), french);
    EXPECT_NE(french, L"Search Device");
    SetThreadLanguage(0);
}

TEST(LoadText, UserDefaultLanguageWhenTheThreadHasNone) {
    AppHarness h({.userLanguage = 0x0C04});
    SetThreadLanguage(0);
    std::wstring hongKong = LoadText(257);
    SetThreadLanguage(0x0404);
    EXPECT_EQ(hongKong, LoadText(257));
    SetThreadLanguage(0);
}

}  // namespace
