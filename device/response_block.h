// The 32-byte block the scanner returns after every command block.
#pragma once

#include <cstdint>

constexpr std::uint16_t STATE_READY = 0;
constexpr std::uint16_t STATE_BUSY = 4;
constexpr std::uint16_t STATE_LLBOOT = 6;
constexpr std::uint16_t STATE_FW_UPDATE = 7;

constexpr std::uint32_t DEVICE_ERROR_BURN = 0x7001;

struct ResponseBlock {
    std::uint32_t errorCode = 0;
    std::uint16_t deviceState = 0;
    std::uint8_t burnPercent = 0;
    std::uint8_t ubootVersion = 0;

    static ResponseBlock FromBytes(const std::uint8_t bytes[32]) {
        ResponseBlock r;
        r.errorCode = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                      std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
        r.deviceState = static_cast<std::uint16_t>(bytes[4] | bytes[5] << 8);
        r.burnPercent = bytes[10];
        r.ubootVersion = bytes[14];
        return r;
    }
};
