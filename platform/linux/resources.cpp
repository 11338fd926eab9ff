#include "platform/linux/resources.h"

#include <cstring>

#include "app/utf.h"
#include "platform/linux/device_registry.h"
#include "platform/linux/string_tables.h"

namespace standin {

Resources::Resources(std::optional<std::wstring> fileVersion, Images images, FaultPlan& faults)
    : fileVersion_(std::move(fileVersion)), images_(std::move(images)), faults_(faults) {}

// The handles of a binary resource are the image's entry in the table.
const void* Resources::FindBinaryResource(int number) {
    if (faults_.Check("FindResource")) return nullptr;
    auto it = images_.find(number);
    return it == images_.end() ? nullptr : &it->second;
}

const void* Resources::LoadBinaryResource(const void* found) {
    if (faults_.Check("LoadResource")) return nullptr;
    return found;
}

const std::uint8_t* Resources::LockBinaryResource(const void* loaded) {
    return loaded ? static_cast<const std::span<const std::uint8_t>*>(loaded)->data() : nullptr;
}

std::uint32_t Resources::SizeofBinaryResource(const void* found) {
    if (found == nullptr) return 0;
    return static_cast<std::uint32_t>(
        static_cast<const std::span<const std::uint8_t>*>(found)->size());
}

std::span<const std::uint16_t> Resources::FindStringBlock(std::uint16_t block,
                                                          platform::LangId language) {
    for (std::size_t i = 0; i < kStringTableBlockCount; ++i) {
        const StringTableBlock& b = kStringTableBlocks[i];
        if (b.block == block && b.language == language) return {b.data, b.size};
    }
    return {};
}

namespace {

// The stand-in's version block: entries of a UTF-8 key, a NUL, a 32-bit length and the
// value's bytes, as the Windows block holds them (UTF-16 text, binary translation).
void AddEntry(std::vector<std::uint8_t>& info, const std::wstring& key,
              const std::vector<std::uint8_t>& value) {
    std::string k = WideToUtf8(key);
    info.insert(info.end(), k.begin(), k.end());
    info.push_back(0);
    auto size = static_cast<std::uint32_t>(value.size());
    for (int i = 0; i < 4; ++i) info.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    info.insert(info.end(), value.begin(), value.end());
}

}  // namespace

bool Resources::GetFileVersionInfo(std::wstring_view, std::vector<std::uint8_t>* info) {
    if (!fileVersion_) return false;
    info->clear();
    AddEntry(*info, L"\\VarFileInfo\\Translation", {0x09, 0x04, 0xB0, 0x04});
    AddEntry(*info, L"\\StringFileInfo\\040904B0\\FileVersion", Utf16Bytes(*fileVersion_));
    AddEntry(*info, L"\\StringFileInfo\\040904B0\\ProductName",
             Utf16Bytes(L"Norvik Velora Firmware Update Tool"));
    return true;
}

bool Resources::VerQueryValue(const std::vector<std::uint8_t>& info, std::wstring_view subBlock,
                              std::span<const std::uint8_t>* value) {
    std::string wanted = WideToUtf8(subBlock);
    std::size_t pos = 0;
    while (pos < info.size()) {
        std::size_t end = pos;
        while (end < info.size() && info[end] != 0) ++end;
        if (end + 5 > info.size()) return false;
        std::string key(info.begin() + static_cast<std::ptrdiff_t>(pos),
                        info.begin() + static_cast<std::ptrdiff_t>(end));
        std::uint32_t size = 0;
        for (int i = 0; i < 4; ++i) size |= std::uint32_t{info[end + 1 + i]} << (8 * i);
        std::size_t start = end + 5;
        if (start + size > info.size()) return false;
        if (key == wanted) {
            *value = std::span<const std::uint8_t>(info.data() + start, size);
            return true;
        }
        pos = start + size;
    }
    return false;
}

}  // namespace standin
