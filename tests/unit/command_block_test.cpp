#include "link/command_block.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::array<std::uint8_t, 16>;

TEST(CommandBlock, WireBytesOfEveryRequest) {
    struct Case {
        const char* name;
        CommandBlock block;
        Bytes bytes;
    };
    const Case cases[] = {
        {"identification",
         IdentificationRequest(),
         {0x20, 0x02, 0, 0, 0x28, 0, 0x10, 0, 25, 0, 0, 0, 14, 0, 0, 0}},
        {"version",
         VersionRequest(),
         {0x20, 0x02, 0, 0, 0x28, 0, 0x01, 0, 1, 0, 0, 0, 72, 0, 0, 0}},
        {"status", StatusRequest(), {0x20, 0x02, 0, 0, 0x12, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"firmware image 505",
         FirmwareImageRequest(0x1004, 13633428),
         {0x20, 0x02, 0, 0, 0x2A, 0, 0x08, 0, 0x04, 0x10, 0, 0, 0x94, 0x07, 0xD0, 0x00}},
        {"firmware image 507",
         FirmwareImageRequest(4, 26214400),
         {0x20, 0x02, 0, 0, 0x2A, 0, 0x08, 0, 4, 0, 0, 0, 0x00, 0x00, 0x90, 0x01}},
        {"burn status",
         BurnStatusRequest(),
         {0x20, 0x02, 0, 0, 0x12, 0, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"shell command",
         ShellCommandRequest(),
         {0x20, 0x02, 0, 0, 0x2A, 0, 0xE6, 0, 0, 0, 0, 0, 0x00, 0x01, 0, 0}},
        {"shell output",
         ShellOutputRequest(),
         {0x20, 0x02, 0, 0, 0x28, 0, 0xE4, 0, 1, 0, 0, 0, 0x00, 0x02, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.block.Bytes(), c.bytes) << c.name;
        CommandBlock back = CommandBlock::FromBytes(c.bytes.data());
        EXPECT_EQ(back.Bytes(), c.bytes) << c.name;
    }
}

}  // namespace
