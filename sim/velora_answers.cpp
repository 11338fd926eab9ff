#include "sim/velora_answers.h"

#include <algorithm>

#include "link/byte_order.h"

namespace sim {

namespace {

// The shell echoes the command line cut to its 50-column terminal: "# " and 47
// characters and a line end, so a short command's output starts earlier.
std::string Echo(std::string_view command) {
    std::string echo = "# ";
    echo += command.substr(0, 47);
    echo += '\n';
    return echo;
}

}  // namespace

std::array<std::uint8_t, kResponseSize> ResponseBlock(const ResponseFields& fields) {
    std::array<std::uint8_t, kResponseSize> block{};
    PutLe32(&block[0], fields.errorCode);
    PutLe16(&block[4], fields.deviceState);
    block[10] = fields.burnPercent;
    // The bytes beside the interpreted fields are not zero, so a host that reads a wrong
    // width or offset gets a wrong number: hardware revision, boot loader minor version.
    block[11] = 0x03;
    block[14] = fields.ubootVersion;
    block[15] = 0x02;
    block[16] = fields.kind;
    block[17] = fields.code;
    PutLe16(&block[18], fields.sequence);
    return block;
}

std::vector<std::uint8_t> VersionBlock(std::uint32_t mainBoardVersion, std::uint32_t panelVersion) {
    std::vector<std::uint8_t> block(kVersionBlockSize, 0);
    constexpr std::string_view kModel = "VELORA";
    std::copy(kModel.begin(), kModel.end(), block.begin());
    PutLe32(&block[16], 0x00020007);  // scanning engine
    PutLe32(&block[20], 0x00010012);  // sheet feeder
    PutLe32(&block[24], mainBoardVersion);
    PutLe32(&block[28], panelVersion);
    PutLe32(&block[32], 0x00040001);  // image processor
    return block;
}

std::vector<std::uint8_t> IdentificationData(std::string_view text) {
    text = text.substr(0, kIdentificationSize);
    return {text.begin(), text.end()};
}

std::string ShellOutput(std::string_view command, bool relayMarker) {
    if (command == kRelayMarkerCommand) {
        // The echo of this command is 50 characters long: the answer starts at 50.
        return Echo(command) + (relayMarker ? "99999\n" : "11111\n");
    }
    std::string_view word = command.substr(0, command.find(' ')).substr(0, 32);
    return Echo(command) + "sh: " + std::string(word) + ": not found\n";
}

}  // namespace sim
