// The process on the stand-in platform.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace standin {

class Process : public platform::Process {
  public:
    using TextSink = std::function<void(std::wstring_view)>;
    using BoxSink = std::function<void(std::wstring_view text, std::wstring_view caption)>;

    struct Options {
        std::string modulePath;                        // the executable; empty: /proc/self/exe
        std::vector<std::string> args;                 // the command line after the program
        std::optional<platform::LangId> userLanguage;  // empty: from the locale variables
        TextSink console;    // where console text goes once opened; empty: standard output
        BoxSink messageBox;  // the application's message box; empty: the terminal
    };

    explicit Process(Options options);

    void InitCommonControls() override {}
    void RegisterRestart() override {}
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

    bool ConsoleOpen() const { return consoleOpen_.load(); }
    // Sends console text somewhere else from now on (the terminal window does).
    void SetConsoleSink(TextSink sink);

  private:
    Options options_;
    std::atomic<bool> consoleOpen_{false};
    std::mutex consoleMutex_;
};

}  // namespace standin
