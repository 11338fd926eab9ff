#include "platform/win32/resources.h"

#include <algorithm>
#include <cwctype>

#include "platform/win32/windows_api.h"

namespace win32 {

namespace {

// Values under "\StringFileInfo" are text; everything else is binary.
bool IsTextValue(std::wstring_view subBlock) {
    constexpr std::wstring_view kTextRoot = L"\\StringFileInfo";
    if (subBlock.size() < kTextRoot.size()) return false;
    for (std::size_t i = 0; i < kTextRoot.size(); ++i) {
        if (std::towlower(subBlock[i]) != std::towlower(kTextRoot[i])) return false;
    }
    return true;
}

// Whether the string block exists in exactly this language. FindResourceExW cannot tell:
// the loader falls back to the primary language's neutral table and further (asked for
// Chinese (Hong Kong) it returns the neutral Chinese, Simplified, table).
bool HasStringBlockIn(std::uint16_t block, platform::LangId language) {
    struct Search {
        WORD wanted;
        bool found;
    } search{language, false};
    ::EnumResourceLanguagesW(
        nullptr, RT_STRING, MAKEINTRESOURCEW(block),
        [](HMODULE, LPCWSTR, LPCWSTR, WORD found, LONG_PTR param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (found != s->wanted) return TRUE;
            s->found = true;
            return FALSE;  // enough
        },
        reinterpret_cast<LONG_PTR>(&search));
    return search.found;
}

}  // namespace

const void* Resources::FindBinaryResource(int number) {
    return ::FindResourceW(nullptr, MAKEINTRESOURCEW(number), L"BINARY");
}

const void* Resources::LoadBinaryResource(const void* found) {
    return ::LoadResource(nullptr, static_cast<HRSRC>(const_cast<void*>(found)));
}

const std::uint8_t* Resources::LockBinaryResource(const void* loaded) {
    return static_cast<const std::uint8_t*>(::LockResource(const_cast<void*>(loaded)));
}

std::uint32_t Resources::SizeofBinaryResource(const void* found) {
    return ::SizeofResource(nullptr, static_cast<HRSRC>(const_cast<void*>(found)));
}

std::span<const std::uint16_t> Resources::FindStringBlock(std::uint16_t block,
                                                          platform::LangId language) {
    // The exact language only: the thread's UI language does not steer the lookup under
    // Wine, and the loader's own fallback is not the program's, so the caller chooses the
    // table itself.
    if (!HasStringBlockIn(block, language)) return {};
    HRSRC found = ::FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(block), language);
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr) return {};
    return {static_cast<const std::uint16_t*>(data),
            ::SizeofResource(nullptr, found) / sizeof(std::uint16_t)};
}

bool Resources::GetFileVersionInfo(std::wstring_view path, std::vector<std::uint8_t>* info) {
    const std::wstring file = Terminated(path);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return false;
    info->assign(size, 0);
    return ::GetFileVersionInfoW(file.c_str(), 0, size, info->data()) != FALSE;
}

bool Resources::VerQueryValue(const std::vector<std::uint8_t>& info, std::wstring_view subBlock,
                              std::span<const std::uint8_t>* value) {
    const std::wstring key = Terminated(subBlock);
    void* data = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(info.data(), key.c_str(), &data, &length) || data == nullptr) {
        return false;
    }
    std::size_t bytes = length;
    if (IsTextValue(subBlock)) {
        // Text lengths count characters and may include the terminator: return the text
        // up to it.
        const std::wstring_view text(static_cast<const wchar_t*>(data), length);
        bytes = std::min(text.find(L'\0'), text.size()) * sizeof(wchar_t);
    }
    *value = {static_cast<const std::uint8_t*>(data), bytes};
    return true;
}

}  // namespace win32
