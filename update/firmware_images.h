// The three firmware images the tool carries, and which one a scanner gets.
#pragma once

#include <cstdint>

constexpr int IMAGE_RELAY_UBOOT8 = 505;  // relay marker present, boot loader version 8
constexpr int IMAGE_RELAY = 506;         // relay marker present, another boot loader
constexpr int IMAGE_MAIN = 507;          // no relay marker

constexpr std::uint16_t IMAGE_PARAMETER = 4;
constexpr std::uint16_t IMAGE_PARAMETER_UBOOT8 = 0x1004;
constexpr std::uint8_t UBOOT_VERSION_8 = 8;

struct ImageChoice {
    int number;
    std::uint16_t parameter;
};

// The image for a scanner from its relay marker (a failed probe counts as absent) and
// the boot-loader version of its last response block.
ImageChoice ChooseImage(bool relayMarker, std::uint8_t ubootVersion);
