// Named set-ups of the simulated bus for tests and the demo: which devices are plugged
// and what the scanner among them is like. Written "name" or "name:key=value,...", for
// example "normal:burn_ms=20000,busy_ms=3000".
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "sim/bus.h"
#include "sim/velora_config.h"
#include "sim/velora_device.h"

namespace sim {

// A device that is not a usable scanner, plugged at index 0 ahead of the scanners.
enum class Lead { kNone, kOtherDevice, kBrokenDescriptor };

struct Scenario {
    std::string name;
    VeloraConfig scanner;
    std::string secondIdentification = "VLR-311502";
    // The name the operating system's device setup registers for each scanner.
    std::string friendlyName = "Norvik Velora";
    int scanners = 1;  // 0 to 2, on the indexes after the lead device
    Lead lead = Lead::kNone;
};

struct ScenarioInfo {
    std::string_view name;
    std::string_view description;
};

// The named scenarios, in the order the demo lists them.
std::span<const ScenarioInfo> ScenarioList();
std::optional<Scenario> FindScenario(std::string_view name);

// One line per setting key with what it means, for a help text.
std::span<const ScenarioInfo> ScenarioSettings();

// "name" or "name:key=value,key=value". On failure the error says what was wrong.
std::optional<Scenario> ParseScenario(std::string_view text, std::string& error);

// Plugs the scenario's devices into the bus; returns the scanners, lowest index first.
std::vector<std::shared_ptr<VeloraDevice>> PlugScenario(const Scenario& scenario,
                                                        platform::Clock& clock, Bus& bus);

}  // namespace sim
