// The simulated scanner behind the real USB link and the emulated still-image driver: what
// the update tool will meet in every later test and in the demo.
#include <gtest/gtest.h>

#include <vector>

#include "app_harness.h"
#include "link/command_exchange.h"
#include "sim/other_device.h"
#include "sim/scenario.h"

namespace {

using standin::ObjectKind;

class DriverBus : public sim::Bus {
  public:
    explicit DriverBus(standin::StillImageDriver& driver) : driver_(driver) {}
    void Plug(int index, std::shared_ptr<sim::UsbDevice> device) override {
        plugged.push_back(device);
        driver_.Plug(index, std::move(device));
    }
    std::vector<std::shared_ptr<sim::UsbDevice>> plugged;

  private:
    standin::StillImageDriver& driver_;
};

class SimLinkTest : public testing::Test {
  protected:
    SimLinkTest() { os().process().OpenConsole(); }
    ~SimLinkTest() override {
        EXPECT_EQ(os().Handles().Count(ObjectKind::kDevice), 0u);
        EXPECT_EQ(os().Driver().PendingTransfers(), 0u);
        EXPECT_EQ(os().Driver().AbandonedPendingTransfers(), 0u);
    }
    standin::LinuxPlatform& os() { return h_.os(); }
    std::shared_ptr<sim::VeloraDevice> Plug(std::string_view text) {
        std::string error;
        auto scenario = sim::ParseScenario(text, error);
        EXPECT_TRUE(scenario) << error;
        auto scanners = sim::PlugScenario(*scenario, os().clock(), bus_);
        return scanners.empty() ? nullptr : scanners.front();
    }
    bool SendImage(std::uint32_t size, const char* head, std::uint16_t parameter) {
        std::vector<std::uint8_t> image(size, 0x3C);
        std::copy_n(head, 4, image.begin());
        std::uint8_t response[32];
        return ExchangeCommand(USB_INTERFACE, FirmwareImageRequest(parameter, size), image.data(),
                               nullptr, response, 32);
    }

    AppHarness h_;
    DriverBus bus_{os().Driver()};
};

TEST_F(SimLinkTest, RequestsOfAStatusQueryAndAnUpdate) {
    auto scanner = Plug("relay");
    std::uint32_t release = 0;
    ASSERT_TRUE(ProbeDevice(USB_INTERFACE, &release));
    EXPECT_EQ(release, 0x0100u);

    std::uint8_t response[32] = {};
    std::uint8_t ident[15] = {};
    ASSERT_TRUE(
        ExchangeCommand(USB_INTERFACE, IdentificationRequest(), nullptr, ident, response, 32));
    EXPECT_STREQ(reinterpret_cast<char*>(ident), "VLR-204718");

    std::uint8_t shell[256] = {};
    std::string probe =
        R"(ls /tmp/corvessa_cr | awk 'END {if (NR > 0){print "99999"}else{print "11111"}}')";
    std::copy(probe.begin(), probe.end(), shell);
    ASSERT_TRUE(
        ExchangeCommand(USB_INTERFACE, ShellCommandRequest(), shell, nullptr, response, 32));
    char answer[512] = {};
    ASSERT_TRUE(
        ExchangeCommand(USB_INTERFACE, ShellOutputRequest(), nullptr, answer, response, 32));
    EXPECT_EQ(std::string(answer + 50, 5), "99999");

    ASSERT_TRUE(SendImage(8388608, "ACEZ", 4));
    ASSERT_TRUE(
        ExchangeCommand(USB_INTERFACE, BurnStatusRequest(), nullptr, nullptr, response, 32));
    EXPECT_EQ(response[0], 0);
    EXPECT_EQ(response[4], 7);
    auto image = scanner->Record().images.at(0);
    EXPECT_EQ(image.writes, 1u);
    EXPECT_TRUE(image.accepted);
    EXPECT_EQ(scanner->Record().protocolErrors, 0u);
}

TEST_F(SimLinkTest, StalledImageTimesOutAndIsCancelled) {
    auto scanner = Plug("stall");
    EXPECT_FALSE(SendImage(26214400, "ACEE", 4));
    EXPECT_NE(h_.ConsoleText().find(L"6-6-2-USB time out error!!!"), std::wstring::npos)
        << h_.ConsoleText();
    std::uint8_t response[32];
    EXPECT_TRUE(ExchangeCommand(USB_INTERFACE, StatusRequest(), nullptr, nullptr, response, 32));
}

TEST_F(SimLinkTest, VanishedScannerIsNotFoundAgain) {
    Plug("vanish");
    EXPECT_FALSE(SendImage(26214400, "ACEE", 4));
    EXPECT_FALSE(ProbeDevice(USB_INTERFACE));
}

TEST_F(SimLinkTest, DeviceAheadOfTheScannerIsLeftAlone) {
    for (const char* scenario : {"other-device", "descriptor-fails"}) {
        SCOPED_TRACE(scenario);
        for (int i = 0; i < 256; ++i) os().Driver().Unplug(i);
        bus_.plugged.clear();
        auto scanner = Plug(scenario);
        std::uint8_t response[32];
        ASSERT_TRUE(
            ExchangeCommand(USB_INTERFACE, StatusRequest(), nullptr, nullptr, response, 32));
        auto& lead = static_cast<sim::OtherImagingDevice&>(*bus_.plugged.at(0));
        EXPECT_EQ(lead.Transfers(), 0u);
        EXPECT_EQ(scanner->Record().commands.size(), 1u);
    }
}

TEST_F(SimLinkTest, NoneLeavesTheBusEmpty) {
    Plug("none");
    EXPECT_FALSE(ProbeDevice(USB_INTERFACE));
}

}  // namespace
