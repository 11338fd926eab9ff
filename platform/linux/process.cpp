#include "platform/linux/process.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/utf.h"
#include "platform/linux/ini_file.h"
#include "platform/linux/locale_language.h"

namespace standin {

Process::Process(Options options) : options_(std::move(options)) {}

std::wstring Process::ModulePath() {
    if (!options_.modulePath.empty()) return Utf8ToWide(options_.modulePath);
    std::error_code ec;
    return Utf8ToWide(std::filesystem::read_symlink("/proc/self/exe", ec).string());
}

std::wstring Process::CommandLine() {
    // As Windows reports it when the program is started from the desktop: the full path
    // of the program, quoted, then the arguments.
    std::wstring line = L"\"" + ModulePath() + L"\"";
    for (const std::string& arg : options_.args) {
        std::wstring wide = Utf8ToWide(arg);
        bool quote = wide.empty() || wide.find_first_of(L" \t") != std::wstring::npos;
        line += L" ";
        line += quote ? L"\"" + wide + L"\"" : wide;
    }
    return line;
}

void Process::OpenConsole() {
    consoleOpen_.store(true);
}

void Process::SetConsoleSink(TextSink sink) {
    std::lock_guard lock(consoleMutex_);
    options_.console = std::move(sink);
}

void Process::WriteConsole(std::wstring_view text) {
    if (!consoleOpen_.load()) return;
    // One lock for every thread, so each print comes out whole.
    std::lock_guard lock(consoleMutex_);
    if (options_.console) {
        options_.console(text);
        return;
    }
    std::string bytes = WideToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

std::uint32_t Process::ReadProfileInt(std::wstring_view section, std::wstring_view key,
                                      std::int32_t defaultValue, std::wstring_view path) {
    return ReadIniInt(WideToUtf8(path), WideToUtf8(section), WideToUtf8(key), defaultValue);
}

void Process::SetThreadUILanguage(platform::LangId) {
    // The program keeps each thread's language itself; nothing else here reads it.
}

platform::LangId Process::UserDefaultUILanguage() {
    return options_.userLanguage ? *options_.userLanguage : LanguageFromEnvironment();
}

void Process::ShowMessageBox(std::wstring_view text, std::wstring_view caption,
                             platform::MessageBoxIcon) {
    if (options_.messageBox) {
        options_.messageBox(text, caption);
        return;
    }
    std::string line = "[" + WideToUtf8(caption) + "] " + WideToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    if (::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO)) {
        static const char prompt[] = "Press Enter to close.\n";
        std::fwrite(prompt, 1, sizeof prompt - 1, stderr);
        std::string ignored;
        std::getline(std::cin, ignored);
    }
}

}  // namespace standin
