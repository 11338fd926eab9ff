#include "platform/linux/locale_language.h"

#include <cstdlib>
#include <string>

namespace standin {

namespace {

struct Language {
    const char* code;
    platform::LangId primary;
};

struct Region {
    const char* locale;  // language_TERRITORY
    platform::LangId id;
};

// Primary language ids of the languages a user of the tool is likely to run.
constexpr Language kLanguages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18},
    {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F},
    {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26},
    {"lt", 0x27}, {"vi", 0x2A}, {"hi", 0x39}, {"ms", 0x3E},
};

// Territories whose id is not the language's default sublanguage (1).
constexpr Region kRegions[] = {
    {"zh_TW", 0x0404}, {"zh_CN", 0x0804}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_MO", 0x1404},
    {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409}, {"en_IE", 0x1809},
    {"en_ZA", 0x1C09}, {"en_IN", 0x4009}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C},
    {"fr_LU", 0x140C}, {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007}, {"de_LI", 0x1407},
    {"es_MX", 0x080A}, {"es_ES", 0x0C0A}, {"es_AR", 0x2C0A}, {"es_CL", 0x340A}, {"es_CO", 0x240A},
    {"es_PE", 0x280A}, {"es_VE", 0x200A}, {"es_US", 0x540A}, {"pt_BR", 0x0416}, {"pt_PT", 0x0816},
    {"it_CH", 0x0810}, {"nl_BE", 0x0813}, {"sv_FI", 0x081D}, {"ar_IQ", 0x0801}, {"ar_EG", 0x0C01},
    {"ar_AE", 0x3801}, {"ms_BN", 0x083E},
};

}  // namespace

platform::LangId LanguageFromLocale(std::string_view locale) {
    // language[_TERRITORY][.codeset][@modifier]
    locale = locale.substr(0, locale.find_first_of(".@"));
    std::string name(locale);
    for (char& c : name) {
        if (c == '-') c = '_';
    }
    for (const Region& r : kRegions) {
        if (name == r.locale) return r.id;
    }
    std::string code = name.substr(0, name.find('_'));
    for (const Language& l : kLanguages) {
        if (code == l.code) return static_cast<platform::LangId>((1 << 10) | l.primary);
    }
    return platform::kLangEnglishUs;
}

platform::LangId LanguageFromEnvironment() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return LanguageFromLocale(value);
    }
    return platform::kLangEnglishUs;
}

}  // namespace standin
