// What a simulated Velora received, for tests to check the host against.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct CommandRecord {
    std::uint64_t atMs = 0;  // clock time the block arrived
    std::uint8_t kind = 0;
    std::uint8_t code = 0;
    std::uint16_t parameter = 0;
    std::uint32_t length = 0;
};

// One firmware image data phase, without its bytes.
struct ImageRecord {
    std::uint16_t parameter = 0;
    std::uint32_t length = 0;    // announced by the command block
    std::uint64_t received = 0;  // bytes taken so far
    std::array<std::uint8_t, 4> head{};
    std::uint64_t checksum = 0;  // FNV-1a 64 of the bytes taken (sim/fnv1a.h)
    std::uint32_t writes = 0;    // write requests of the data phase
    bool complete = false;       // all `length` bytes arrived
    bool accepted = false;       // the right image, being burnt
};

struct DeviceRecord {
    std::vector<CommandRecord> commands;     // well-formed command blocks, in order
    std::vector<std::string> shellCommands;  // texts up to their zero byte
    std::vector<ImageRecord> images;
    std::uint32_t protocolErrors = 0;  // bad blocks and transfers out of phase
    std::uint32_t stalls = 0;
};

}  // namespace sim
