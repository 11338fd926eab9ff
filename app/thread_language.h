// The user-interface language of the calling thread, as the program applied it.
#pragma once

#include "platform/types.h"

void SetThreadLanguage(platform::LangId lang);
// The language applied to this thread, or the user's default when none was.
platform::LangId ThreadLanguage();
