#include "app/load_text.h"

#include "app/thread_language.h"
#include "app/utf.h"
#include "platform/platform.h"

namespace {

constexpr platform::LangId kPrimaryChinese = 0x04;
constexpr platform::LangId kChineseSimplified = 0x0804;
constexpr platform::LangId kChineseSingapore = 0x1004;

platform::LangId Primary(platform::LangId lang) {
    return lang & 0x3FF;
}

// Chinese variants that are written in traditional characters (Taiwan is served exactly).
bool IsTraditionalChinese(platform::LangId lang) {
    return Primary(lang) == kPrimaryChinese && lang != kChineseSimplified &&
           lang != kChineseSingapore && lang != kPrimaryChinese;
}

}  // namespace

platform::LangId ChooseTableLanguage(platform::LangId wanted,
                                     const std::function<bool(platform::LangId)>& hasTable) {
    if (hasTable(wanted)) return wanted;
    // The neutral table of a primary language serves its variants; of the Chinese
    // variants only Simplified (PRC) is served by the neutral Chinese table.
    if (Primary(wanted) != kPrimaryChinese || wanted == kChineseSimplified) {
        if (hasTable(Primary(wanted))) return Primary(wanted);
    }
    if (Primary(wanted) == kPrimaryChinese) {
        if (IsTraditionalChinese(wanted) && hasTable(platform::kLangChineseTraditional)) {
            return platform::kLangChineseTraditional;
        }
        if (wanted == kChineseSingapore && hasTable(platform::kLangChineseSimplifiedNeutral)) {
            return platform::kLangChineseSimplifiedNeutral;
        }
    }
    return platform::kLangEnglishUs;
}

std::wstring LoadText(int id) {
    if (id < 0 || id > 0xFFFF) return {};
    auto blockNumber = static_cast<std::uint16_t>(id / 16 + 1);
    platform::Resources& resources = platform::Get().resources();
    platform::LangId lang = ChooseTableLanguage(ThreadLanguage(), [&](platform::LangId l) {
        return !resources.FindStringBlock(blockNumber, l).empty();
    });
    std::span<const std::uint16_t> block = resources.FindStringBlock(blockNumber, lang);
    if (block.empty()) return {};

    // Skip (id mod 16) entries, each a length and that many units.
    std::size_t pos = 0;
    for (int skip = id % 16; skip > 0; --skip) {
        if (pos >= block.size()) return {};
        pos += std::size_t{block[pos]} + 1;
    }
    if (pos >= block.size()) return {};
    std::size_t length = block[pos];
    if (length == 0 || pos + 1 + length > block.size()) return {};
    return Utf16ToWide(block.subspan(pos + 1, length));
}
