// The stand-in platform for Linux and the tests: real threads, cross-process named
// mutexes and settings file, a clock that may be virtual, the window in the terminal or
// only as a model.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/linux/clocks.h"
#include "platform/linux/device_registry.h"
#include "platform/linux/dialog_host.h"
#include "platform/linux/fault_plan.h"
#include "platform/linux/handle_table.h"
#include "platform/linux/named_mutex.h"
#include "platform/linux/process.h"
#include "platform/linux/resources.h"
#include "platform/linux/service_control_manager.h"
#include "platform/linux/step_gate.h"
#include "platform/linux/still_image_driver.h"
#include "platform/linux/threads.h"
#include "platform/platform.h"

namespace standin {

// The version text this build was made with.
std::wstring DefaultFileVersion();

struct PlatformOptions {
    enum class Time { kReal, kVirtual };

    Time time = Time::kReal;
    double speed = 1.0;  // real time only: how much faster than wall time
    std::chrono::milliseconds virtualGrace{200};
    // Where the window is drawn; without a screen it exists only as its model.
    std::unique_ptr<Screen> screen;
    DialogHost::MessageBoxPolicy messageBoxPolicy = DialogHost::MessageBoxPolicy::kCloseAtOnce;
    Process::Options process;
    // Where named kernel objects live; empty: FWUPDATE_KERNEL_OBJECTS or /tmp.
    std::filesystem::path kernelObjectsDir;
    // The version the program's own file carries; nullopt: none.
    std::optional<std::wstring> fileVersion = DefaultFileVersion();
    // The firmware images the program carries, by number (in place; never copied).
    Resources::Images firmwareImages;
};

class LinuxPlatform : public platform::Platform,
                      private platform::KernelObjects,
                      private platform::Windowing {
  public:
    explicit LinuxPlatform(PlatformOptions options);
    ~LinuxPlatform() override;

    platform::Clock& clock() override { return *clock_; }
    platform::Threads& threads() override { return threads_; }
    platform::Process& process() override { return process_; }
    platform::KernelObjects& kernel() override { return *this; }
    platform::Resources& resources() override { return resources_; }
    platform::Windowing& windowing() override { return *this; }
    platform::StillImage& stillImage() override { return driver_; }
    platform::DeviceSetup& deviceSetup() override { return registry_; }
    platform::ServiceManager& services() override { return scm_; }
    std::uint32_t GetLastError() override;
    void SetLastError(std::uint32_t code) override;
    bool CloseHandle(platform::Handle handle) override;

    // What tests look at and steer.
    Clock& StandInClock() { return *clock_; }
    Threads& StandInThreads() { return threads_; }
    Process& StandInProcess() { return process_; }
    HandleTable& Handles() { return handles_; }
    FaultPlan& Faults() { return faults_; }
    StepGate& Gate() { return gate_; }
    StillImageDriver& Driver() { return driver_; }
    DeviceRegistry& Registry() { return registry_; }
    ServiceControlManager& Scm() { return scm_; }
    // The window the program opened last; null before it opened one.
    std::shared_ptr<DialogHost> Dialog();
    // Watches the windows opened from now on (set it before the program opens one).
    void SetDialogObserver(DialogHost::Observer observer);

  private:
    platform::Handle CreateMutex(std::wstring_view name,
                                 const platform::MutexOptions& options) override;
    bool ReleaseMutex(platform::Handle mutex) override;
    std::shared_ptr<platform::DialogHost> CreateDialogHost(int templateId) override;

    PlatformOptions options_;
    std::unique_ptr<Clock> clock_;
    HandleTable handles_;
    StepGate gate_;
    FaultPlan faults_;
    Process process_;
    Resources resources_;
    NamedMutexes mutexes_;
    StillImageDriver driver_;
    DeviceRegistry registry_;
    ServiceControlManager scm_;
    std::unique_ptr<Screen> screen_;
    std::mutex dialogMutex_;
    std::shared_ptr<DialogHost> dialog_;
    DialogHost::Observer observer_;
    // Last: joined first, while everything the threads use still exists.
    Threads threads_;
};

}  // namespace standin
