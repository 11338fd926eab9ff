// Puts a simulated set-up on the stand-in platform: its devices into the still-image
// driver's slots, and their device nodes and friendly names into device setup.
#pragma once

#include <memory>
#include <vector>

#include "platform/linux/linux_platform.h"
#include "sim/scenario.h"

namespace standin {

// Returns the scanners, lowest index first.
std::vector<std::shared_ptr<sim::VeloraDevice>> InstallScenario(LinuxPlatform& os,
                                                                const sim::Scenario& scenario);

}  // namespace standin
