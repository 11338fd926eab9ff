#include "platform/linux/ini_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace standin {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section,
                                        std::string_view key) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    bool inSection = false;
    std::string raw;
    bool first = true;
    while (std::getline(in, raw)) {
        std::string_view line = raw;
        if (first && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);  // UTF-8 mark
        first = false;
        line = Trim(line);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            std::size_t close = line.find(']');
            inSection = close != std::string_view::npos &&
                        SameName(Trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (SameName(Trim(line.substr(0, eq)), key)) return std::string(Trim(line.substr(eq + 1)));
    }
    return std::nullopt;
}

std::uint32_t ReadIniInt(const std::string& path, std::string_view section, std::string_view key,
                         std::int32_t defaultValue) {
    std::optional<std::string> value = ReadIniValue(path, section, key);
    if (!value || value->empty()) return static_cast<std::uint32_t>(defaultValue);
    std::string_view v = *value;
    bool negative = false;
    if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    std::uint64_t result = 0;
    for (char c : v) {
        if (c < '0' || c > '9') break;
        result =
            std::min<std::uint64_t>(result * 10 + static_cast<std::uint64_t>(c - '0'), 0xFFFFFFFFu);
    }
    return negative ? 0 : static_cast<std::uint32_t>(result);
}

}  // namespace standin
