// String tables and version information read through the Windows resource API.
#pragma once

#include "platform/resources.h"

namespace win32 {

class Resources final : public platform::Resources {
  public:
    const void* FindBinaryResource(int number) override;
    const void* LoadBinaryResource(const void* found) override;
    const std::uint8_t* LockBinaryResource(const void* loaded) override;
    std::uint32_t SizeofBinaryResource(const void* found) override;
    std::span<const std::uint16_t> FindStringBlock(std::uint16_t block,
                                                   platform::LangId language) override;
    bool GetFileVersionInfo(std::wstring_view path, std::vector<std::uint8_t>* info) override;
    bool VerQueryValue(const std::vector<std::uint8_t>& info, std::wstring_view subBlock,
                       std::span<const std::uint8_t>* value) override;
};

}  // namespace win32
