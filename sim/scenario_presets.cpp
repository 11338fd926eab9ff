#include <array>

#include "sim/scenario.h"

namespace sim {

namespace {

// The panel version of a device with the relay marker, before its update.
constexpr std::uint32_t kOldRelayPanel = PackVersion(0, 98);

constexpr std::array<ScenarioInfo, 16> kList{{
    {"normal", "update needed, no relay marker: takes image 507"},
    {"current", "already at 3.61 / 3.116: nothing to update"},
    {"relay-uboot8", "relay marker, boot loader version 8: takes image 505"},
    {"relay", "relay marker, boot loader version 7: takes image 506"},
    {"recovery", "in its boot loader (release number 1): takes image 507"},
    {"busy", "stays busy for ever"},
    {"burn-error", "the burn fails at 40 % with error 0x7001"},
    {"burn-warning", "reports error 0x1234 during the burn and carries on"},
    {"no-power-off", "burns, but never leaves the bus"},
    {"no-return", "powers off and never comes back"},
    {"vanish", "leaves the bus for good when the image data starts"},
    {"stall", "the image data transfer never ends"},
    {"two-scanners", "two scanners, at indexes 0 and 1"},
    {"other-device", "another imaging device at index 0, the scanner at 1"},
    {"descriptor-fails", "a device whose descriptor request fails at 0, the scanner at 1"},
    {"none", "nothing attached"},
}};

}  // namespace

std::span<const ScenarioInfo> ScenarioList() {
    return kList;
}

std::optional<Scenario> FindScenario(std::string_view name) {
    Scenario s;
    s.name = std::string(name);
    VeloraConfig& v = s.scanner;
    if (name == "normal") {
    } else if (name == "current") {
        v.mainBoardVersion = PackVersion(3, 61);
        v.panelVersion = PackVersion(3, 116);
    } else if (name == "relay-uboot8") {
        v.relayMarker = true;
        v.ubootVersion = 8;
        v.panelVersion = kOldRelayPanel;
    } else if (name == "relay") {
        v.relayMarker = true;
        v.ubootVersion = 7;
        v.panelVersion = kOldRelayPanel;
    } else if (name == "recovery") {
        v.release = kReleaseBootLoader;
    } else if (name == "busy") {
        v.busyMs = kForever;
    } else if (name == "burn-error") {
        v.burnErrorAt = 40;
    } else if (name == "burn-warning") {
        v.burnWarning = 0x1234;
    } else if (name == "no-power-off") {
        v.offDelayMs = kForever;
    } else if (name == "no-return") {
        v.offMs = kForever;
    } else if (name == "vanish") {
        v.vanishInImage = true;
    } else if (name == "stall") {
        v.stallRequest = Request::kImage;
        v.stallPhase = StallPhase::kData;
    } else if (name == "two-scanners") {
        s.scanners = 2;
    } else if (name == "other-device") {
        s.lead = Lead::kOtherDevice;
    } else if (name == "descriptor-fails") {
        s.lead = Lead::kBrokenDescriptor;
    } else if (name == "none") {
        s.scanners = 0;
    } else {
        return std::nullopt;
    }
    return s;
}

}  // namespace sim
