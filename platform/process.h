// The process: command line, own path, console, settings file, language, message box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace platform {

enum class MessageBoxIcon { kNone, kExclamation };

class Process {
  public:
    virtual ~Process() = default;
    // Registers the standard common-control classes.
    virtual void InitCommonControls() = 0;
    // Asks the system to start the program again after a crash or an installer's restart.
    virtual void RegisterRestart() = 0;
    // The full command line, the program's own path included.
    virtual std::wstring CommandLine() = 0;
    // Full path of the program's own executable file.
    virtual std::wstring ModulePath() = 0;
    // Gives the process a console and connects standard output and error to it.
    virtual void OpenConsole() = 0;
    // Writes already formatted text to standard output; a no-op without a console.
    virtual void WriteConsole(std::wstring_view text) = 0;
    // An integer value from an initialisation file, or defaultValue.
    virtual std::uint32_t ReadProfileInt(std::wstring_view section, std::wstring_view key,
                                         std::int32_t defaultValue, std::wstring_view path) = 0;
    // The calling thread's user-interface language (the system's own record of it).
    virtual void SetThreadUILanguage(LangId lang) = 0;
    // The user's default user-interface language.
    virtual LangId UserDefaultUILanguage() = 0;
    // A modal message box that belongs to the application (no window of its own).
    virtual void ShowMessageBox(std::wstring_view text, std::wstring_view caption,
                                MessageBoxIcon icon) = 0;
};

}  // namespace platform
