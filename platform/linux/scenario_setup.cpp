#include "platform/linux/scenario_setup.h"

#include "app/text_format.h"
#include "app/utf.h"

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
        std::uint8_t descriptor[8] = {};
        bool described = device->Descriptor(descriptor);
        os_.Driver().Plug(index, device);
        if (!described) return;  // Setup could not identify it either.
        auto word = [&](int at) { return descriptor[at] | descriptor[at + 1] << 8; };
        std::wstring hardware = Format(L"USB\\VID_%04X&PID_%04X", word(0), word(2));
        std::wstring driverKey = Format(L"%s\\%04d", kImageClass, next_++);
        os_.Registry().AddDevice(
            {{Format(L"%s&REV_%04X", hardware, word(4)), hardware}, driverKey});
        bool scanner = std::dynamic_pointer_cast<sim::VeloraDevice>(device) != nullptr;
        os_.Registry().SetMachineText(Format(L"%s\\%s", kClassKey, driverKey), L"FriendlyName",
                                      scanner ? friendlyName_ : L"Imaging Device");
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
