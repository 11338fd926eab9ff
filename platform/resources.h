// Resources carried inside the program: string tables and version information.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace platform {

class Resources {
  public:
    virtual ~Resources() = default;
    // One block of a string table in the given language, exactly as stored: 16 entries,
    // each a 16-bit length followed by that many UTF-16 code units. Empty when the
    // language has no such block.
    virtual std::span<const std::uint16_t> FindStringBlock(std::uint16_t block,
                                                           LangId language) = 0;
    // The whole version-information block of an executable file; false when it has none.
    virtual bool GetFileVersionInfo(std::wstring_view path, std::vector<std::uint8_t>* info) = 0;
    // A value inside a version-information block ("\VarFileInfo\Translation",
    // "\StringFileInfo\040904B0\FileVersion"). Text values come back as UTF-16 units.
    virtual bool VerQueryValue(const std::vector<std::uint8_t>& info, std::wstring_view subBlock,
                               std::span<const std::uint8_t>* value) = 0;
};

}  // namespace platform
