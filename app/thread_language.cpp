#include "app/thread_language.h"

#include "platform/platform.h"

namespace {
thread_local platform::LangId t_language = 0;
}

void SetThreadLanguage(platform::LangId lang) {
    t_language = lang;
}

platform::LangId ThreadLanguage() {
    return t_language != 0 ? t_language : platform::Get().process().UserDefaultUILanguage();
}
