#include "platform/win32/process.h"

#include <cstdio>
#include <vector>

#include "platform/win32/windows_api.h"

namespace win32 {

namespace {

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                          nullptr, nullptr);
    return out;
}

}  // namespace

void Process::InitCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    ::InitCommonControlsEx(&controls);
}

void Process::RegisterRestart() {
    ::RegisterApplicationRestart(nullptr, 0);
}

std::wstring Process::CommandLine() {
    return ::GetCommandLineW();
}

std::wstring Process::ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        // A path that fills the buffer may have been cut: try again with more room.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void Process::OpenConsole() {
    // Output redirected by whoever started the program (a file or a pipe) stays where it
    // was sent, as a console program's would; the new console shows it otherwise. The
    // reopened C streams close the inherited handle, so a copy of it is kept.
    HANDLE inherited = ::GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE redirect = nullptr;
    if (inherited != nullptr && inherited != INVALID_HANDLE_VALUE) {
        const DWORD type = ::GetFileType(inherited);
        if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
            ::DuplicateHandle(::GetCurrentProcess(), inherited, ::GetCurrentProcess(), &redirect, 0,
                              FALSE, DUPLICATE_SAME_ACCESS);
        }
    }

    ::AllocConsole();
    ::_wfreopen(L"CONOUT$", L"w", stdout);
    ::_wfreopen(L"CONOUT$", L"w", stderr);
    if (redirect != nullptr) ::SetStdHandle(STD_OUTPUT_HANDLE, redirect);
}

void Process::WriteConsole(std::wstring_view text) {
    std::lock_guard<std::mutex> lock(writeLock_);
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE || text.empty()) return;
    std::fflush(stdout);  // Anything the C runtime still holds comes first.
    DWORD mode = 0;
    if (::GetConsoleMode(out, &mode)) {
        while (!text.empty()) {
            DWORD written = 0;
            if (!::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written,
                                 nullptr) ||
                written == 0) {
                return;
            }
            text.remove_prefix(written);
        }
        return;
    }
    // A file or pipe (a redirect) gets UTF-8.
    const std::string bytes = ToUtf8(text);
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                         &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

std::uint32_t Process::ReadProfileInt(std::wstring_view section, std::wstring_view key,
                                      std::int32_t defaultValue, std::wstring_view path) {
    const std::wstring s = Terminated(section), k = Terminated(key), p = Terminated(path);
    return ::GetPrivateProfileIntW(s.c_str(), k.c_str(), defaultValue, p.c_str());
}

void Process::SetThreadUILanguage(platform::LangId lang) {
    ::SetThreadUILanguage(lang);
}

platform::LangId Process::UserDefaultUILanguage() {
    return ::GetUserDefaultUILanguage();
}

void Process::ShowMessageBox(std::wstring_view text, std::wstring_view caption,
                             platform::MessageBoxIcon icon) {
    const std::wstring t = Terminated(text), c = Terminated(caption);
    const UINT style =
        MB_OK | (icon == platform::MessageBoxIcon::kExclamation ? MB_ICONEXCLAMATION : 0);
    ::MessageBoxW(nullptr, t.c_str(), c.c_str(), style);
}

}  // namespace win32
