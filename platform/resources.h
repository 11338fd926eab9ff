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
    // A "BINARY" resource of the program by number, in the steps Windows takes: find it
    // (null: none), load it (null: failed), lock it for its bytes in place, and its size.
    virtual const void* FindBinaryResource(int number) = 0;
    virtual const void* LoadBinaryResource(const void* found) = 0;
    virtual const std::uint8_t* LockBinaryResource(const void* loaded) = 0;
    virtual std::uint32_t SizeofBinaryResource(const void* found) = 0;

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
