// The 16-byte command block that starts every conversation with the scanner, and the
// requests the program sends.
#pragma once

#include <array>
#include <cstdint>

constexpr std::uint32_t COMMAND_TAG = 0x220;

// Transfer kinds: which data phase follows the block, and in which order.
constexpr std::uint8_t KIND_WRITE_FIRST = 0x2B;  // send data, then read the response
constexpr std::uint8_t KIND_READ = 0x28;         // read the response, then read data
constexpr std::uint8_t KIND_WRITE = 0x2A;        // read the response, then send data
constexpr std::uint8_t KIND_QUERY = 0x12;        // read the response only

constexpr std::uint32_t RESPONSE_SIZE = 32;

struct CommandBlock {
    std::uint32_t tag = COMMAND_TAG;
    std::uint8_t kind = 0;
    std::uint8_t code = 0;
    std::uint16_t parameter = 0;
    std::uint32_t length = 0;

    // The wire bytes: little-endian fields, reserved bytes 0.
    std::array<std::uint8_t, 16> Bytes() const;
    static CommandBlock FromBytes(const std::uint8_t bytes[16]);
};

CommandBlock IdentificationRequest();
CommandBlock VersionRequest();
CommandBlock StatusRequest();
CommandBlock FirmwareImageRequest(std::uint16_t imageParameter, std::uint32_t imageSize);
CommandBlock BurnStatusRequest();
CommandBlock ShellCommandRequest();
CommandBlock ShellOutputRequest();
