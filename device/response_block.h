// The 32-byte block the scanner returns after every command block.
#pragma once

#include <cstdint>

#include "link/byte_order.h"

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
        r.errorCode = GetLe32(&bytes[0]);
        r.deviceState = GetLe16(&bytes[4]);
        r.burnPercent = bytes[10];
        r.ubootVersion = bytes[14];
        return r;
    }
};
