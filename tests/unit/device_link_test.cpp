#include "link/device_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app_harness.h"
#include "link/command_exchange.h"
#include "scripted_device.h"

namespace {

using standin::Fault;
using standin::ObjectKind;
using testing::ElementsAre;

class LinkTest : public testing::Test {
  protected:
    LinkTest() { os().process().OpenConsole(); }
    ~LinkTest() override {
        // Whatever happened, nothing of the link may stay open or pending.
        EXPECT_EQ(os().Handles().Count(ObjectKind::kDevice), 0u);
        EXPECT_EQ(os().Handles().Count(ObjectKind::kEvent), 0u);
        EXPECT_EQ(os().Driver().PendingTransfers(), 0u);
        EXPECT_EQ(os().Driver().AbandonedPendingTransfers(), 0u);
    }
    standin::LinuxPlatform& os() { return h_.os(); }
    std::shared_ptr<ScriptedDevice> Plug(int index, std::uint16_t vendor = 0x7A5C,
                                         std::uint16_t product = 0x3C21,
                                         std::uint16_t release = 0x0100) {
        auto device = std::make_shared<ScriptedDevice>(vendor, product, release);
        os().Driver().Plug(index, device);
        return device;
    }
    std::wstring Console() { return h_.ConsoleText(); }

    AppHarness h_;
};

TEST_F(LinkTest, NoScannerAttachedTriesAllNames) {
    Plug(3, 0x04A9, 0x1234);  // another imaging device is not the scanner
    std::uint32_t release = 77;
    EXPECT_FALSE(ProbeDevice(L"USB", &release));
    EXPECT_EQ(release, 77u);
    EXPECT_EQ(os().Faults().CallsOf("CreateFile"), 256u);
    EXPECT_EQ(Console(), L"\t[USB Error] 1-1-0-Device No Found!!\n");
}

TEST_F(LinkTest, SearchSkipsGapsAndPicksTheLowestScanner) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, std::uint16_t>> devices;  // index, vendor
        int expected;
    };
    const Case cases[] = {
        {"only at 7", {{7, 0x7A5C}}, 7},
        {"other device at 0", {{0, 0x04A9}, {1, 0x7A5C}}, 1},
        {"two scanners", {{5, 0x7A5C}, {3, 0x7A5C}}, 3},
        {"last name", {{255, 0x7A5C}}, 255},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 256; ++i) os().Driver().Unplug(i);
        std::map<int, std::shared_ptr<ScriptedDevice>> plugged;
        for (auto [index, vendor] : c.devices) plugged[index] = Plug(index, vendor);
        std::uint8_t response[32];
        ASSERT_TRUE(ExchangeCommand(L"USB", StatusRequest(), nullptr, nullptr, response, 32))
            << c.name;
        for (auto& [index, device] : plugged) {
            EXPECT_EQ(!device->Ops().empty(), index == c.expected) << c.name << " index " << index;
        }
    }
}

TEST_F(LinkTest, DeviceWhoseDescriptorFailsIsPassedOver) {
    Plug(0)->FailDescriptor();
    Plug(1, 0x7A5C, 0x3C21, 1);
    std::uint32_t release = 0;
    EXPECT_TRUE(ProbeDevice(L"USB", &release));
    EXPECT_EQ(release, 1u);
    EXPECT_EQ(Console(), L"Get device descriptor error!!\n\n");
}

TEST_F(LinkTest, PhasesFollowTheTransferKind) {
    struct Case {
        std::uint8_t kind;
        std::uint32_t length;
        std::vector<std::string> ops;
    };
    const Case cases[] = {
        {KIND_WRITE_FIRST, 300, {"W16", "W300", "R32"}},
        {KIND_READ, 72, {"W16", "R32", "R72"}},
        {KIND_WRITE, 256, {"W16", "R32", "W256"}},
        {KIND_QUERY, 0, {"W16", "R32"}},
        {0x55, 99, {"W16", "R32"}},  // unknown kinds are queries
        {KIND_QUERY, 4096, {"W16", "R32"}},
        {KIND_READ, 0, {"W16", "R32"}},  // nothing to read after the response
    };
    for (const Case& c : cases) {
        auto device = Plug(0);
        CommandBlock block;
        block.kind = c.kind;
        block.code = 0x42;
        block.length = c.length;
        std::vector<std::uint8_t> send(c.length, 0x5A);
        std::vector<std::uint8_t> receive(c.length + 1, 0xEE);
        std::uint8_t response[32] = {};
        bool needsSend = c.kind == KIND_WRITE_FIRST || c.kind == KIND_WRITE;
        bool needsReceive = c.kind == KIND_READ;
        EXPECT_TRUE(ExchangeCommand(L"USB", block, needsSend ? send.data() : nullptr,
                                    needsReceive ? receive.data() : nullptr, response, 32));
        EXPECT_EQ(device->Ops(), c.ops) << int(c.kind);
        auto wire = block.Bytes();
        EXPECT_EQ(device->LastBlock(), std::vector<std::uint8_t>(wire.begin(), wire.end()));
        EXPECT_EQ(response[0], 0xA0);
        EXPECT_EQ(receive[c.length], 0xEE) << "read past the data phase";
        if (c.length == 0 || !needsReceive) EXPECT_EQ(receive[0], 0xEE);
    }
}

TEST_F(LinkTest, ResponseOfSizeZeroSucceedsAtOnce) {
    auto device = Plug(0);
    EXPECT_TRUE(ExchangeCommand(L"USB", StatusRequest(), nullptr, nullptr, nullptr, 0));
    EXPECT_THAT(device->Ops(), ElementsAre("W16"));
}

TEST_F(LinkTest, ReadsGoInPiecesOf64KiB) {
    auto device = Plug(0);
    CommandBlock block;
    block.kind = KIND_READ;
    block.length = 65537;
    std::vector<std::uint8_t> data(65537);
    std::uint8_t response[32];
    ASSERT_TRUE(ExchangeCommand(L"USB", block, nullptr, data.data(), response, 32));
    EXPECT_THAT(device->Ops(), ElementsAre("W16", "R32", "R65536", "R1"));
}

TEST_F(LinkTest, AWriteOfAnySizeIsOneRequest) {
    auto device = Plug(0);
    std::vector<std::uint8_t> image(26214400, 0x11);
    std::uint8_t response[32];
    ASSERT_TRUE(ExchangeCommand(L"USB", FirmwareImageRequest(4, 26214400), image.data(), nullptr,
                                response, 32));
    EXPECT_THAT(device->Ops(), ElementsAre("W16", "R32", "W26214400"));
}

// Each failure of the carrier, injected through the seam: the exchange's failure line
// and the trace the link prints before it.
TEST_F(LinkTest, EveryFailureDetailAndConsoleLine) {
    struct Case {
        const char* name;
        std::string op;
        std::uint64_t nth;
        Fault fault;
        CommandBlock block;
        std::wstring console;
    };
    CommandBlock read = VersionRequest();
    CommandBlock write = ShellCommandRequest();
    CommandBlock writeFirst;
    writeFirst.kind = KIND_WRITE_FIRST;
    writeFirst.length = 8;
    const Fault fail31{Fault::Action::kFail, 31, 0};
    const Case cases[] = {
        {"event",
         "CreateEvent",
         1,
         {Fault::Action::kFail, 8, 0},
         read,
         L"CreateEvent failed with error (8)\n"
         L"\t[USB Error] 2-3-1-Not enough memory resources are available to process this "
         L"command.\r\n-0x8\n"},
        {"block write", "WriteFile", 1, fail31, read,
         L"WriteFile failed with error (31)\nWrite to USB error!!\n\n"
         L"\t[USB Error] 2-4-1-A device attached to the system is not functioning.\r\n-0x1f\n"},
        {"data before response", "WriteFile", 2, fail31, writeFirst,
         L"WriteFile failed with error (31)\nWrite to USB error!!\n\n"
         L"\t[USB Error] 3-4-1-A device attached to the system is not functioning.\r\n-0x1f\n"},
        {"response read", "ReadFile", 1, fail31, read,
         L"ReadFile failed with error (31)\nRead from USB error!!\n\n"
         L"\t[USB Error] 4-5-1-A device attached to the system is not functioning.\r\n-0x1f\n"},
        {"data read", "ReadFile", 2, fail31, read,
         L"ReadFile failed with error (31)\nRead from USB error!!\n\n"
         L"\t[USB Error] 5-5-1-A device attached to the system is not functioning.\r\n-0x1f\n"},
        {"data write",
         "WriteFile",
         2,
         {Fault::Action::kFail, 121, 0},
         write,
         L"WriteFile failed with error (121)\nWrite to USB error!!\n\n"
         L"\t[USB Error] 6-4-1-The semaphore timeout period has expired.\r\n-0x79\n"},
        {"time-out",
         "WriteFile",
         1,
         {Fault::Action::kPendingStall, 0, 0},
         read,
         L"ERROR_IO_PENDING\nUSB timeout error!!\n\n\t[USB Error] 2-6-2-USB time out error!!!\n"},
        {"abandoned",
         "ReadFile",
         1,
         {Fault::Action::kPendingAbandoned, 0, 0},
         read,
         L"ERROR_IO_PENDING\nUSB Abandoned Fail!!\n\t[USB Error] 4-6-3-USB abandoned error!!!\n"},
        {"failed wait",
         "ReadFile",
         2,
         {Fault::Action::kPendingWaitFails, 6, 0},
         read,
         L"ERROR_IO_PENDING\nWaitSingleObject failed with error (6)\n"
         L"\t[USB Error] 5-6-1-The handle is invalid.\r\n-0x6\n"},
        {"result fetch",
         "WriteFile",
         2,
         {Fault::Action::kPendingResultFails, 31, 0},
         write,
         L"ERROR_IO_PENDING\nGetOverlapped failed with error (31)\n"
         L"Get USB overlapped result error!!\n\n"
         L"\t[USB Error] 6-7-1-A device attached to the system is not functioning.\r\n-0x1f\n"},
        {"short write",
         "WriteFile",
         1,
         {Fault::Action::kShort, 0, 10},
         read,
         L"Request and return USB data size not matched!!\n\n"
         L"\t[USB Error] 2-8-0-Data size not match!!!\n"},
        {"error without system text",
         "ReadFile",
         1,
         {Fault::Action::kFail, 0x4242, 0},
         read,
         L"ReadFile failed with error (16962)\nRead from USB error!!\n\n"
         L"\t[USB Error] 4-5-1--0x4242\n"},
    };
    for (const Case& c : cases) {
        AppHarness fresh;  // a clean platform per case: fault counts start at zero
        fresh.os().process().OpenConsole();
        fresh.os().Driver().Plug(0, std::make_shared<ScriptedDevice>());
        fresh.os().Faults().Add(c.op, c.nth, c.fault);
        std::vector<std::uint8_t> send(c.block.length, 1), receive(c.block.length, 0);
        std::uint8_t response[32] = {};
        EXPECT_FALSE(ExchangeCommand(L"USB", c.block, send.data(), receive.data(), response, 32))
            << c.name;
        EXPECT_EQ(fresh.ConsoleText(), c.console) << c.name;
        EXPECT_EQ(fresh.os().Handles().Count(ObjectKind::kDevice), 0u) << c.name;
        EXPECT_EQ(fresh.os().Handles().Count(ObjectKind::kEvent), 0u) << c.name;
        EXPECT_EQ(fresh.os().Driver().PendingTransfers(), 0u) << c.name;
        EXPECT_EQ(fresh.os().Driver().AbandonedPendingTransfers(), 0u) << c.name;
    }
    platform::Install(&os());
}

TEST_F(LinkTest, PendingTransferThatEndsInTimeSucceeds) {
    auto device = Plug(0);
    os().Faults().Add("ReadFile", 2, Fault{Fault::Action::kPendingDone, 0, 0});
    std::vector<std::uint8_t> data(72, 0);
    std::uint8_t response[32];
    EXPECT_TRUE(ExchangeCommand(L"USB", VersionRequest(), nullptr, data.data(), response, 32));
    EXPECT_EQ(data[0], 0xA0);
    EXPECT_EQ(Console(), L"ERROR_IO_PENDING\n");
}

TEST_F(LinkTest, TimedOutReadNeverLandsInTheCallersBuffer) {
    Plug(0);
    os().Faults().Add("ReadFile", 2, Fault{Fault::Action::kPendingStall, 0, 0});
    std::vector<std::uint8_t> data(72, 0xEE);
    std::uint8_t response[32] = {};
    EXPECT_FALSE(ExchangeCommand(L"USB", VersionRequest(), nullptr, data.data(), response, 32));
    EXPECT_EQ(std::count(data.begin(), data.end(), 0xEE), 72);
    EXPECT_EQ(response[0], 0xA0) << "the response block arrived before the stall";
    // The fixture checks that the transfer was cancelled and waited for, not abandoned.
}

TEST_F(LinkTest, DeviceThatStopsAnsweringDuringTheDataPhaseFailsAfterTheResponse) {
    auto device = Plug(0);
    os().Faults().Add("WriteFile", 2, Fault{Fault::Action::kFail, 1167, 0});
    std::vector<std::uint8_t> text(256, 'x');
    std::uint8_t response[32] = {};
    EXPECT_FALSE(
        ExchangeCommand(L"USB", ShellCommandRequest(), text.data(), nullptr, response, 32));
    EXPECT_EQ(response[4], 0xA4) << "response block stored";
    EXPECT_THAT(Console(),
                testing::EndsWith(L"\t[USB Error] 6-4-1-The device is not connected.\r\n-0x48f\n"));
}

TEST_F(LinkTest, EmptyReadPiecesAreAskedAgainButNotForever) {
    Plug(0);
    os().Faults().Add("ReadFile", 2, Fault{Fault::Action::kShort, 0, 0});
    std::vector<std::uint8_t> data(72);
    std::uint8_t response[32];
    EXPECT_TRUE(ExchangeCommand(L"USB", VersionRequest(), nullptr, data.data(), response, 32));

    // Read 4 is the next response block; from read 5 on every data piece is empty.
    os().Faults().Add("ReadFile", 5, Fault{Fault::Action::kShort, 0, 0}, true);
    EXPECT_FALSE(ExchangeCommand(L"USB", VersionRequest(), nullptr, data.data(), response, 32));
    EXPECT_THAT(Console(), testing::EndsWith(L"\t[USB Error] 5-8-0-Data size not match!!!\n"));
}

TEST_F(LinkTest, TransferOnAnEmptyHandle) {
    CDeviceLink link;
    std::uint8_t block[16] = {};
    EXPECT_FALSE(link.UsbWriteBlock(nullptr, block));
    EXPECT_EQ(link.m_detail, L"2-0-Handle is empty Fail!!");
    EXPECT_FALSE(link.UsbRead(platform::kInvalidHandle, block, 16));
    EXPECT_EQ(link.m_detail, L"2-0-Handle is empty Fail!!");
    EXPECT_EQ(Console(), L"Handle is empty Fail!!Handle is empty Fail!!");
}

TEST_F(LinkTest, OtherInterfaceTextsFindNoDevice) {
    Plug(0);
    std::uint8_t response[32];
    EXPECT_FALSE(ExchangeCommand(L"usb", StatusRequest(), nullptr, nullptr, response, 32));
    EXPECT_EQ(Console(), L"\t[USB Error] 1-1-0-Device No Found!!\n");
}

TEST_F(LinkTest, UnpluggedDeviceBetweenCommandsIsSearchedAgain) {
    auto first = Plug(2);
    std::uint8_t response[32];
    ASSERT_TRUE(ExchangeCommand(L"USB", StatusRequest(), nullptr, nullptr, response, 32));
    first->SetPresent(false);
    auto second = Plug(9);
    ASSERT_TRUE(ExchangeCommand(L"USB", StatusRequest(), nullptr, nullptr, response, 32));
    EXPECT_EQ(second->Ops().size(), 2u);
}

}  // namespace
