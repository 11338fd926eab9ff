// Localised user-interface text by message number, in the calling thread's language.
#pragma once

#include <functional>
#include <string>

#include "platform/types.h"

// The text of message id, or empty when no table holds it.
std::wstring LoadText(int id);

// The table language that serves `wanted`: the exact language, then the primary language
// with a neutral sublanguage, then English (US) or, for Chinese written in traditional
// characters, Traditional Chinese. hasTable tells which table languages exist.
platform::LangId ChooseTableLanguage(platform::LangId wanted,
                                     const std::function<bool(platform::LangId)>& hasTable);
