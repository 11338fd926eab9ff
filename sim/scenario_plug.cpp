#include "sim/other_device.h"
#include "sim/scenario.h"

namespace sim {

std::vector<std::shared_ptr<VeloraDevice>> PlugScenario(const Scenario& scenario,
                                                        platform::Clock& clock, Bus& bus) {
    int index = 0;
    if (scenario.lead != Lead::kNone) {
        bool broken = scenario.lead == Lead::kBrokenDescriptor;
        bus.Plug(index++, std::make_shared<OtherImagingDevice>(broken));
    }
    std::vector<std::shared_ptr<VeloraDevice>> scanners;
    for (int i = 0; i < scenario.scanners; ++i) {
        VeloraConfig config = scenario.scanner;
        if (i > 0) config.identification = scenario.secondIdentification;
        auto device = std::make_shared<VeloraDevice>(clock, std::move(config));
        bus.Plug(index++, device);
        scanners.push_back(std::move(device));
    }
    return scanners;
}

}  // namespace sim
