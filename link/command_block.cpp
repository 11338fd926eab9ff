#include "link/command_block.h"

namespace {

void Put16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t Get16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

std::uint32_t Get32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

CommandBlock Block(std::uint8_t kind, std::uint8_t code, std::uint16_t parameter,
                   std::uint32_t length) {
    CommandBlock block;
    block.kind = kind;
    block.code = code;
    block.parameter = parameter;
    block.length = length;
    return block;
}

}  // namespace

std::array<std::uint8_t, 16> CommandBlock::Bytes() const {
    std::array<std::uint8_t, 16> bytes{};
    Put32(&bytes[0], tag);
    bytes[4] = kind;
    bytes[6] = code;
    Put16(&bytes[8], parameter);
    Put32(&bytes[12], length);
    return bytes;
}

CommandBlock CommandBlock::FromBytes(const std::uint8_t bytes[16]) {
    CommandBlock block;
    block.tag = Get32(&bytes[0]);
    block.kind = bytes[4];
    block.code = bytes[6];
    block.parameter = Get16(&bytes[8]);
    block.length = Get32(&bytes[12]);
    return block;
}

CommandBlock IdentificationRequest() {
    return Block(KIND_READ, 0x10, 25, 14);
}
CommandBlock VersionRequest() {
    return Block(KIND_READ, 0x01, 1, 72);
}
CommandBlock StatusRequest() {
    return Block(KIND_QUERY, 0x02, 0, 0);
}
CommandBlock FirmwareImageRequest(std::uint16_t imageParameter, std::uint32_t imageSize) {
    return Block(KIND_WRITE, 0x08, imageParameter, imageSize);
}
CommandBlock BurnStatusRequest() {
    return Block(KIND_QUERY, 0x08, 0, 0);
}
CommandBlock ShellCommandRequest() {
    return Block(KIND_WRITE, 0xE6, 0, 256);
}
CommandBlock ShellOutputRequest() {
    return Block(KIND_READ, 0xE4, 1, 512);
}
