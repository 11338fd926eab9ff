// The message tables linked into the Linux build, in the string-table block format of
// Windows resources (generated from resources/strings).
#pragma once

#include <cstddef>
#include <cstdint>

namespace standin {

struct StringTableBlock {
    std::uint16_t language;
    std::uint16_t block;
    const std::uint16_t* data;
    std::size_t size;
};

extern const StringTableBlock kStringTableBlocks[];
extern const std::size_t kStringTableBlockCount;

}  // namespace standin
