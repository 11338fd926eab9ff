// What the simulated scanners received, as text lines for a test script:
//   present <mask of the devices on the bus>
//   image <parameter> <length> <received> <writes> <complete> <accepted> <FNV-1a 64>
//   shell <command text>
//   command <kind> <code> <parameter> <count of such blocks>
//   errors <protocol errors> <stalls>
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/velora_device.h"

namespace bridge {

// Replaces the file in one step, so that a reader never sees half a report.
void WriteReport(const std::string& path, unsigned presentMask,
                 const std::vector<std::shared_ptr<sim::VeloraDevice>>& scanners);

}  // namespace bridge
