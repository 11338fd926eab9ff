// The Windows side of the seam: one object that the program installs at start-up.
#pragma once

#include "platform/platform.h"
#include "platform/win32/clock.h"
#include "platform/win32/device_setup.h"
#include "platform/win32/dialog_host.h"
#include "platform/win32/kernel_objects.h"
#include "platform/win32/process.h"
#include "platform/win32/resources.h"
#include "platform/win32/service_manager.h"
#include "platform/win32/still_image.h"
#include "platform/win32/threads.h"

namespace win32 {

class Platform final : public platform::Platform {
  public:
    platform::Clock& clock() override { return clock_; }
    platform::Threads& threads() override { return threads_; }
    platform::Process& process() override { return process_; }
    platform::KernelObjects& kernel() override { return kernel_; }
    platform::Resources& resources() override { return resources_; }
    platform::Windowing& windowing() override { return windowing_; }
    platform::StillImage& stillImage() override { return stillImage_; }
    platform::DeviceSetup& deviceSetup() override { return deviceSetup_; }
    platform::ServiceManager& services() override { return services_; }

    std::uint32_t GetLastError() override;
    void SetLastError(std::uint32_t code) override;
    bool CloseHandle(platform::Handle handle) override;

  private:
    Clock clock_;
    Threads threads_;
    Process process_;
    KernelObjects kernel_;
    Resources resources_;
    Windowing windowing_;
    StillImage stillImage_;
    DeviceSetup deviceSetup_;
    ServiceManager services_;
};

}  // namespace win32
