// String tables and version information read through the Windows resource API.
#pragma once

#include "platform/resources.h"

namespace win32 {

class Resources final : public platform::Resources {
  public:
    std::span<const std::uint16_t> FindStringBlock(std::uint16_t block,
                                                   platform::LangId language) override;
    bool GetFileVersionInfo(std::wstring_view path, std::vector<std::uint8_t>* info) override;
    bool VerQueryValue(const std::vector<std::uint8_t>& info, std::wstring_view subBlock,
                       std::span<const std::uint8_t>* value) override;
};

}  // namespace win32
