#include "platform/linux/scenario_setup.h"

#include "app/text_format.h"
#include "app/utf.h"
#include "sim/setup_entry.h"

namespace standin {

namespace {

constexpr wchar_t kImageClass[] = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
constexpr wchar_t kClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class";

// Each plugged device also gets a device node, as the system's device setup would make.
class RegisteringBus : public sim::Bus {
  public:
    RegisteringBus(LinuxPlatform& os, std::wstring friendlyName)
        : os_(os), friendlyName_(std::move(friendlyName)) {}

    void Plug(int index, std::shared_ptr<sim::UsbDevice> device) override {
        std::optional<sim::SetupEntry> entry = sim::DescribeForSetup(*device, friendlyName_);
        os_.Driver().Plug(index, device);
        if (!entry) return;
        std::wstring driverKey = Format(L"%s\\%04d", kImageClass, next_++);
        os_.Registry().AddDevice({{entry->revisionId, entry->hardwareId}, driverKey});
        os_.Registry().SetMachineText(Format(L"%s\\%s", kClassKey, driverKey), L"FriendlyName",
                                      entry->friendlyName);
    }

  private:
    LinuxPlatform& os_;
    std::wstring friendlyName_;
    int next_ = 0;
};

}  // namespace

std::vector<std::shared_ptr<sim::VeloraDevice>> InstallScenario(LinuxPlatform& os,
                                                                const sim::Scenario& scenario) {
    RegisteringBus bus(os, Utf8ToWide(scenario.friendlyName));
    return sim::PlugScenario(scenario, os.clock(), bus);
}

}  // namespace standin
