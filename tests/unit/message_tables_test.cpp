// Every language's table as the program links it: complete, and with the placeholders
// the program formats in the same order as English.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "app/load_text.h"
#include "app/thread_language.h"
#include "app/utf.h"
#include "app_harness.h"
#include "platform/linux/string_tables.h"

namespace {

std::vector<std::string> Placeholders(const std::wstring& text) {
    static const std::regex pattern("%[-0-9.]*[sdu]|%%");
    std::string s = WideToUtf8(text);
    std::vector<std::string> out;
    for (auto it = std::sregex_iterator(s.begin(), s.end(), pattern); it != std::sregex_iterator();
         ++it) {
        out.push_back(it->str());
    }
    return out;
}

std::set<platform::LangId> Languages() {
    std::set<platform::LangId> languages;
    for (std::size_t i = 0; i < standin::kStringTableBlockCount; ++i) {
        languages.insert(standin::kStringTableBlocks[i].language);
    }
    return languages;
}

TEST(MessageTables, SeventeenLanguagesWithTheTaggedIds) {
    EXPECT_EQ(Languages(),
              (std::set<platform::LangId>{0x0001, 0x0004, 0x0404, 0x0005, 0x0409, 0x000C, 0x0007,
                                          0x0021, 0x0010, 0x0012, 0x0015, 0x0016, 0x0019, 0x000A,
                                          0x001B, 0x001E, 0x001F}));
}

TEST(MessageTables, EveryLanguageHasEveryMessageWithEnglishPlaceholders) {
    AppHarness h;
    for (platform::LangId lang : Languages()) {
        for (int id = 201; id <= 265; ++id) {
            SetThreadLanguage(0x0409);
            std::wstring english = LoadText(id);
            SetThreadLanguage(lang);
            std::wstring text = LoadText(id);
            SCOPED_TRACE(testing::Message()
                         << "language 0x" << std::hex << lang << std::dec << " id " << id);
            ASSERT_FALSE(text.empty());
            EXPECT_EQ(Placeholders(text), Placeholders(english));
            EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'),
                      std::count(english.begin(), english.end(), L'\n'));
        }
        EXPECT_EQ(LoadText(265), L"USB");
        EXPECT_EQ(LoadText(236).back(), L'\u2026');
        for (int id : {239, 240, 241, 247}) {
            std::wstring text = LoadText(id);
            const wchar_t* app = id == 241 ? L"Ostra" : id == 247 ? L"Vantor" : L"Norvik Scan";
            EXPECT_NE(text.find(app), std::wstring::npos) << "id " << id << " lang " << lang;
        }
    }
    SetThreadLanguage(0);
}

}  // namespace
