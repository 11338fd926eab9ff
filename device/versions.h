// Firmware versions: the packed form (major in the high 16 bits, minor in the low 16),
// its text form, and the rule that tells whether the scanner already runs the firmware
// this tool carries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The 72-byte block of the version request; only these two fields are read.
constexpr std::size_t VERSION_BLOCK_SIZE = 72;
constexpr std::size_t MAIN_BOARD_VERSION_OFFSET = 24;
constexpr std::size_t PANEL_VERSION_OFFSET = 28;

struct VersionBlock {
    std::uint32_t mainBoardVersion = 0;
    std::uint32_t panelVersion = 0;
    static VersionBlock FromBytes(const std::uint8_t bytes[VERSION_BLOCK_SIZE]);
};

// "%u.%02u": 0x3003D is "3.61", 0x30005 "3.05", 0x6F "0.111".
std::wstring FormatVersion(std::uint32_t packed, std::uint16_t* major = nullptr,
                           std::uint16_t* minor = nullptr);

// "3.61" is 0x3003D; a text without a full stop is 0.
std::uint32_t ParseVersion(std::wstring_view text);

// Whether the device runs the carried firmware: main board 3.61, and panel 0.111 with the
// relay marker or 3.116 without it. Asks the device for the marker on every call.
bool IsLatestFirmware(std::wstring_view interfaceName, std::uint32_t mainBoardVersion,
                      std::uint32_t panelVersion);
