// The process as Windows sees it: command line, own file, console, settings, language.
#pragma once

#include <mutex>

#include "platform/process.h"

namespace win32 {

class Process final : public platform::Process {
  public:
    void InitCommonControls() override;
    void RegisterRestart() override;
    std::wstring CommandLine() override;
    std::wstring ModulePath() override;
    void OpenConsole() override;
    void WriteConsole(std::wstring_view text) override;
    std::uint32_t ReadProfileInt(std::wstring_view section, std::wstring_view key,
                                 std::int32_t defaultValue, std::wstring_view path) override;
    void SetThreadUILanguage(platform::LangId lang) override;
    platform::LangId UserDefaultUILanguage() override;
    void ShowMessageBox(std::wstring_view text, std::wstring_view caption,
                        platform::MessageBoxIcon icon) override;

  private:
    // Several threads write trace lines; each text goes out whole.
    std::mutex writeLock_;
};

}  // namespace win32
