// The Windows language id that matches a POSIX locale name ("fr_CA.UTF-8" -> 0x0C0C).
#pragma once

#include <string_view>

#include "platform/types.h"

namespace standin {
// English (US) for "C", "POSIX", an empty or unknown name.
platform::LangId LanguageFromLocale(std::string_view locale);
// From LC_ALL, LC_MESSAGES and LANG, the first that is set and not empty.
platform::LangId LanguageFromEnvironment();
}  // namespace standin
