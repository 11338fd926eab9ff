#include "link/command_block.h"

#include "link/byte_order.h"

namespace {

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
    PutLe32(&bytes[0], tag);
    bytes[4] = kind;
    bytes[6] = code;
    PutLe16(&bytes[8], parameter);
    PutLe32(&bytes[12], length);
    return bytes;
}

CommandBlock CommandBlock::FromBytes(const std::uint8_t bytes[16]) {
    CommandBlock block;
    block.tag = GetLe32(&bytes[0]);
    block.kind = bytes[4];
    block.code = bytes[6];
    block.parameter = GetLe16(&bytes[8]);
    block.length = GetLe32(&bytes[12]);
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
