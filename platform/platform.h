// The one door between the program and the operating system. Each build links one side
// (the Windows side, or the stand-in for Linux and the tests) and installs it at start-up.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/device_setup.h"
#include "platform/dialog_host.h"
#include "platform/kernel_objects.h"
#include "platform/process.h"
#include "platform/resources.h"
#include "platform/service_manager.h"
#include "platform/still_image.h"
#include "platform/threads.h"
#include "platform/types.h"

namespace platform {

class Platform {
  public:
    virtual ~Platform() = default;
    virtual Clock& clock() = 0;
    virtual Threads& threads() = 0;
    virtual Process& process() = 0;
    virtual KernelObjects& kernel() = 0;
    virtual Resources& resources() = 0;
    virtual Windowing& windowing() = 0;
    virtual StillImage& stillImage() = 0;
    virtual DeviceSetup& deviceSetup() = 0;
    virtual ServiceManager& services() = 0;

    // The calling thread's last error, set by every failing operation of the seam.
    virtual std::uint32_t GetLastError() = 0;
    virtual void SetLastError(std::uint32_t code) = 0;
    // Closes a thread, mutex, device or event handle.
    virtual bool CloseHandle(Handle handle) = 0;
};

// Installs the side the program talks to; the caller keeps it alive while it is in use.
void Install(Platform* platform);
Platform& Get();

}  // namespace platform
