#include "app/settings.h"

#include "app/thread_language.h"
#include "platform/platform.h"

std::wstring SettingsFilePath() {
    std::wstring path = platform::Get().process().ModulePath();
    std::size_t separator = path.find_last_of(L"\\/");
    // Without a separator the path holds a drive at most ("C:FWUpdate.exe").
    std::size_t keep = separator != std::wstring::npos         ? separator + 1
                       : (path.size() >= 2 && path[1] == L':') ? 2
                                                               : 0;
    return path.substr(0, keep) + L"Settings" + L".ini";
}

namespace {
std::uint32_t ReadDevelopmentInt(const wchar_t* key) {
    return platform::Get().process().ReadProfileInt(L"Development", key, 0, SettingsFilePath());
}
}  // namespace

std::uint32_t ReadLanguageSetting() {
    return ReadDevelopmentInt(L"LANG_ID");
}

std::uint32_t ReadShowAllStringSetting() {
    return ReadDevelopmentInt(L"SHOW_ALL_STRING");
}

void ApplyLanguageSetting() {
    std::uint32_t lang = ReadLanguageSetting();
    if (lang == 0) return;
    auto id = static_cast<platform::LangId>(lang & 0xFFFF);
    platform::Get().process().SetThreadUILanguage(id);
    // Kept here as well: Wine, for one, accepts SetThreadUILanguage but ignores it when
    // loading strings, so the text lookup asks for the language's table itself.
    SetThreadLanguage(id);
}
