// Reading an initialisation file as Windows does: sections in brackets, "key=value"
// lines, names compared without regard to case, ';' starting a comment line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace standin {
// The value of key in section, trimmed; nullopt when the file, section or key is missing.
std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section,
                                        std::string_view key);
// An integer value: leading blanks, an optional sign and the decimal digits up to the
// first other character; an empty value gives defaultValue, a negative one 0.
std::uint32_t ReadIniInt(const std::string& path, std::string_view section, std::string_view key,
                         std::int32_t defaultValue);
}  // namespace standin
