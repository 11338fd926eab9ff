// The named scenarios of the simulated bus: how they are written, what each plugs, and
// whether their presets fit what the update tool allows a scanner.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "link/command_block.h"
#include "sim/scenario.h"

namespace {

using sim::Scenario;

class TestClock : public platform::Clock {
  public:
    std::uint64_t NowMs() override { return now_.load(); }
    void SleepMs(std::uint32_t ms) override { now_.fetch_add(ms); }

  private:
    std::atomic<std::uint64_t> now_{1000};
};

class ListBus : public sim::Bus {
  public:
    void Plug(int index, std::shared_ptr<sim::UsbDevice> device) override {
        slots.emplace_back(index, std::move(device));
    }
    std::vector<std::pair<int, std::shared_ptr<sim::UsbDevice>>> slots;
};

Scenario Parse(std::string_view text) {
    std::string error;
    std::optional<Scenario> s = sim::ParseScenario(text, error);
    EXPECT_TRUE(s) << text << ": " << error;
    return s.value_or(Scenario{});
}

TEST(ScenarioList, EveryNameParsesAndIsDescribed) {
    std::set<std::string_view> names;
    for (const sim::ScenarioInfo& info : sim::ScenarioList()) {
        SCOPED_TRACE(info.name);
        EXPECT_TRUE(names.insert(info.name).second) << "listed twice";
        EXPECT_FALSE(info.description.empty());
        EXPECT_EQ(Parse(info.name).name, info.name);
    }
    // The names tests and the demo rely on.
    for (const char* name : {"normal", "current", "relay-uboot8", "relay", "recovery", "busy",
                             "burn-error", "no-power-off", "no-return", "vanish", "stall",
                             "two-scanners", "other-device", "descriptor-fails", "none"}) {
        EXPECT_TRUE(names.count(name)) << name;
    }
}

TEST(ScenarioParse, SettingsOverThePreset) {
    struct Case {
        const char* text;
        std::function<void(const Scenario&)> check;
    };
    const Case cases[] = {
        {"normal:burn_ms=20000,busy_ms=3000",
         [](const Scenario& s) {
             EXPECT_EQ(s.name, "normal");
             EXPECT_EQ(s.scanner.burnMs, 20000u);
             EXPECT_EQ(s.scanner.busyMs, 3000u);
             EXPECT_EQ(s.scanner.offMs, Parse("normal").scanner.offMs);
         }},
        {"relay-uboot8:uboot=7",
         [](const Scenario& s) {
             EXPECT_TRUE(s.scanner.relayMarker);
             EXPECT_EQ(s.scanner.ubootVersion, 7);
         }},
        {" recovery : recovery_state=0 , off_ms = 7000 ,",
         [](const Scenario& s) {
             EXPECT_EQ(s.scanner.release, 1);
             EXPECT_EQ(s.scanner.recoveryState, 0);
             EXPECT_EQ(s.scanner.offMs, 7000u);
         }},
        {"normal:busy_ms=forever,off_delay_ms=forever,boot_ms=0",
         [](const Scenario& s) {
             EXPECT_EQ(s.scanner.busyMs, sim::kForever);
             EXPECT_EQ(s.scanner.offDelayMs, sim::kForever);
             EXPECT_EQ(s.scanner.bootMs, 0u);
         }},
        {"normal:mb=3.61,panel=0x30074",
         [](const Scenario& s) {
             EXPECT_EQ(s.scanner.mainBoardVersion, 0x3003Du);
             EXPECT_EQ(s.scanner.panelVersion, 0x30074u);
         }},
        {"normal:stall=shell-output,stall_phase=response,stall_times=2",
         [](const Scenario& s) {
             EXPECT_EQ(s.scanner.stallRequest, sim::Request::kShellOutput);
             EXPECT_EQ(s.scanner.stallPhase, sim::StallPhase::kResponse);
             EXPECT_EQ(s.scanner.stallTimes, 2u);
         }},
        {"burn-error:burn_error_at=never,burn_warning=0x1234",
         [](const Scenario& s) {
             EXPECT_FALSE(s.scanner.burnErrorAt);
             EXPECT_EQ(s.scanner.burnWarning, 0x1234u);
         }},
        {"normal:ident=V\xC3\xA9lora,ident2=B,friendly_name=Norvik Velora #2,scanners=2,lead=other",
         [](const Scenario& s) {
             EXPECT_EQ(s.scanner.identification, "V\xC3\xA9lora");
             EXPECT_EQ(s.secondIdentification, "B");
             EXPECT_EQ(s.friendlyName, "Norvik Velora #2");
             EXPECT_EQ(s.scanners, 2);
             EXPECT_EQ(s.lead, sim::Lead::kOtherDevice);
         }},
        {"normal:relay=yes,descriptor_fails=1,vanish=true,release=0x0200",
         [](const Scenario& s) {
             EXPECT_TRUE(s.scanner.relayMarker);
             EXPECT_TRUE(s.scanner.descriptorFails);
             EXPECT_TRUE(s.scanner.vanishInImage);
             EXPECT_EQ(s.scanner.release, 0x0200);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        c.check(Parse(c.text));
    }
}

TEST(ScenarioParse, ErrorsSayWhatIsWrong) {
    struct Case {
        const char* text;
        std::vector<std::string> mentions;
    };
    const Case cases[] = {
        {"nosuch", {"unknown scenario \"nosuch\"", "normal", "descriptor-fails"}},
        {"", {"unknown scenario \"\""}},
        {"Normal", {"unknown scenario \"Normal\""}},
        {"normal:bur_ms=1", {"normal", "unknown setting \"bur_ms\"", "burn_ms"}},
        {"normal:burn_ms", {"\"burn_ms\" needs a value"}},
        {"normal:burn_ms=abc", {"burn_ms=abc", "milliseconds"}},
        {"normal:burn_ms=-5", {"burn_ms=-5"}},
        {"normal:burn_ms=", {"burn_ms="}},
        {"normal:uboot=256", {"uboot=256"}},
        {"normal:release=0x10000", {"release=0x10000"}},
        {"normal:relay=maybe", {"relay=maybe"}},
        {"normal:mb=3.x", {"mb=3.x"}},
        {"normal:ident=ABCDEFGHIJKLMNO", {"ident=ABCDEFGHIJKLMNO", "14 bytes"}},
        {"normal:scanners=3", {"scanners=3"}},
        {"normal:lead=printer", {"lead=printer"}},
        {"normal:stall=everything", {"stall=everything"}},
        {"normal:stall_phase=middle", {"stall_phase=middle"}},
        {"normal:burn_error_at=101", {"burn_error_at=101"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        EXPECT_FALSE(sim::ParseScenario(c.text, error));
        for (const std::string& mention : c.mentions) {
            EXPECT_NE(error.find(mention), std::string::npos) << error;
        }
    }
}

TEST(ScenarioSettings, EverySettingIsDescribed) {
    std::set<std::string_view> keys;
    for (const sim::ScenarioInfo& info : sim::ScenarioSettings()) {
        EXPECT_TRUE(keys.insert(info.name).second) << info.name;
        EXPECT_FALSE(info.description.empty()) << info.name;
        // Each listed key is one the parser takes.
        std::string error;
        sim::ParseScenario("normal:" + std::string(info.name) + "=?", error);
        EXPECT_EQ(error.find("unknown setting"), std::string::npos) << error;
    }
}

// What sits at each index of the bus, told apart by the descriptor.
std::string Kind(sim::UsbDevice& device) {
    std::uint8_t d[8] = {};
    if (!device.Descriptor(d)) return "broken";
    bool velora = (d[0] | d[1] << 8) == 0x7A5C && (d[2] | d[3] << 8) == 0x3C21;
    return velora ? "velora" : "other";
}

TEST(ScenarioPlug, DevicesAtTheirIndexes) {
    struct Case {
        const char* scenario;
        std::vector<std::string> slots;  // index 0, 1, ...
    };
    const Case cases[] = {
        {"normal", {"velora"}},
        {"two-scanners", {"velora", "velora"}},
        {"other-device", {"other", "velora"}},
        {"descriptor-fails", {"broken", "velora"}},
        {"normal:lead=other,scanners=2", {"other", "velora", "velora"}},
        {"none", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        TestClock clock;
        ListBus bus;
        auto scanners = sim::PlugScenario(Parse(c.scenario), clock, bus);
        std::vector<std::string> kinds;
        std::vector<std::shared_ptr<sim::UsbDevice>> plugged;
        for (std::size_t i = 0; i < bus.slots.size(); ++i) {
            EXPECT_EQ(bus.slots[i].first, static_cast<int>(i));
            kinds.push_back(Kind(*bus.slots[i].second));
            if (kinds.back() == "velora") plugged.push_back(bus.slots[i].second);
        }
        EXPECT_EQ(kinds, c.slots);
        ASSERT_EQ(scanners.size(), plugged.size());
        for (std::size_t i = 0; i < scanners.size(); ++i) EXPECT_EQ(scanners[i], plugged[i]);
    }
}

TEST(ScenarioPlug, TwoScannersTellThemselvesApart) {
    TestClock clock;
    ListBus bus;
    auto scanners = sim::PlugScenario(Parse("two-scanners"), clock, bus);
    ASSERT_EQ(scanners.size(), 2u);
    EXPECT_NE(scanners[0]->Config().identification, scanners[1]->Config().identification);
}

TEST(ScenarioPresets, CurrentIsAtTheTargetVersions) {
    TestClock clock;
    ListBus bus;
    auto scanners = sim::PlugScenario(Parse("current"), clock, bus);
    ASSERT_EQ(scanners.size(), 1u);
    EXPECT_EQ(scanners[0]->Status().mainBoardVersion, 0x3003Du);
    EXPECT_EQ(scanners[0]->Status().panelVersion, 0x30074u);
}

// Each updatable preset takes the image the update tool should choose for it.
TEST(ScenarioPresets, EachTakesItsImage) {
    struct Case {
        const char* scenario;
        std::uint32_t size;
        const char* head;
        std::uint16_t parameter;
    };
    const Case cases[] = {
        {"normal", 26214400, "ACEE", 4},
        {"relay-uboot8", 13633428, "ACEZ", 0x1004},
        {"relay", 8388608, "ACEZ", 4},
        {"recovery", 26214400, "ACEE", 4},
    };
    std::vector<std::uint8_t> image;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        image.assign(c.size, 0x5A);
        std::copy_n(c.head, 4, image.begin());
        TestClock clock;
        ListBus bus;
        auto scanners = sim::PlugScenario(Parse(c.scenario), clock, bus);
        ASSERT_EQ(scanners.size(), 1u);
        sim::VeloraDevice& d = *scanners[0];
        std::array<std::uint8_t, 32> response{};
        ASSERT_EQ(d.Write(FirmwareImageRequest(c.parameter, c.size).Bytes()).bytes, 16u);
        ASSERT_EQ(d.Read(response).bytes, 32u);
        ASSERT_EQ(d.Write(image).bytes, c.size);
        EXPECT_TRUE(d.Record().images.at(0).accepted);
    }
}

// The update tool allows: 600 s for busy and for ready, 60 probes a second apart for the
// power-off and for the power-on (90 from a boot loader, counted after a 6 s settle).
// Inside that the demo should show a whole update in about a minute.
TEST(ScenarioPresets, TimingFitsTheUpdateToolAndTheDemo) {
    for (const char* name : {"normal", "relay-uboot8", "relay", "recovery", "burn-warning",
                             "two-scanners", "other-device", "descriptor-fails"}) {
        SCOPED_TRACE(name);
        const sim::VeloraConfig& v = Parse(name).scanner;
        EXPECT_LT(v.busyMs, 600000u);
        // The burn watch polls once a second; it must see "done" before the device goes.
        EXPECT_GE(v.offDelayMs, 2000u);
        EXPECT_LT(v.offDelayMs, 50000u);
        EXPECT_LT(v.burnMs + v.offDelayMs, 80000u);
        EXPECT_GE(v.offMs, 2000u);
        EXPECT_LT(v.offMs, 50000u);
        EXPECT_LT(v.bootMs, 590000u);
        EXPECT_LE(v.burnMs + v.offDelayMs + v.offMs + v.bootMs, 60000u);
        EXPECT_GE(v.burnMs, 10000u) << "long enough to watch the percentage rise";
    }
}

}  // namespace
