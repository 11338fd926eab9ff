// The bytes a Velora answers with: the response block after every command block, the
// identification text, the version block and its command shell's output.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

constexpr std::size_t kResponseSize = 32;
constexpr std::size_t kVersionBlockSize = 72;
constexpr std::size_t kIdentificationSize = 14;

// The shell command that asks whether the relay marker file exists.
inline constexpr std::string_view kRelayMarkerCommand =
    R"(ls /tmp/corvessa_cr | awk 'END {if (NR > 0){print "99999"}else{print "11111"}}')";

struct ResponseFields {
    std::uint32_t errorCode = 0;
    std::uint16_t deviceState = 0;
    std::uint8_t burnPercent = 0;
    std::uint8_t ubootVersion = 0;
    std::uint8_t kind = 0;  // echoed from the command block
    std::uint8_t code = 0;
    std::uint16_t sequence = 0;  // counts the command blocks since power-on
};

std::array<std::uint8_t, kResponseSize> ResponseBlock(const ResponseFields& fields);
std::vector<std::uint8_t> VersionBlock(std::uint32_t mainBoardVersion, std::uint32_t panelVersion);
// The identification text's bytes, cut to what the request carries.
std::vector<std::uint8_t> IdentificationData(std::string_view text);
// What the shell prints for a command: its echo, then the command's output.
std::string ShellOutput(std::string_view command, bool relayMarker);

}  // namespace sim
