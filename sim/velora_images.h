// The three firmware images a Velora accepts, and which one fits a given device: the
// relay marker and the boot loader version decide, as the update tool's choice should.
#pragma once

#include <array>
#include <cstdint>

#include "sim/velora_config.h"

namespace sim {

struct FirmwareImage {
    int number;
    std::uint32_t size;
    std::array<std::uint8_t, 4> head;
    std::uint16_t parameter;
    // What the device reports after it has burnt the image and restarted.
    std::uint32_t mainBoardVersion;
    std::uint32_t panelVersion;
};

inline constexpr FirmwareImage kImage505{505,    13633428,           {'A', 'C', 'E', 'Z'},
                                         0x1004, PackVersion(3, 61), PackVersion(0, 111)};
inline constexpr FirmwareImage kImage506{
    506, 8388608, {'A', 'C', 'E', 'Z'}, 4, PackVersion(3, 61), PackVersion(0, 111)};
inline constexpr FirmwareImage kImage507{507, 26214400,           {'A', 'C', 'E', 'E'},
                                         4,   PackVersion(3, 61), PackVersion(3, 116)};

constexpr const FirmwareImage& ExpectedImage(bool relayMarker, std::uint8_t ubootVersion) {
    if (!relayMarker) return kImage507;
    return ubootVersion == 8 ? kImage505 : kImage506;
}

}  // namespace sim
