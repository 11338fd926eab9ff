// An emulated service control manager holding one service, the still-image service
// "stisvc": its state moves on the clock (a stop or start takes its time, or never ends),
// its start type, its wait hint, and access that can be refused.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/clocks.h"
#include "platform/linux/fault_plan.h"
#include "platform/linux/handle_table.h"
#include "platform/service_manager.h"

namespace standin {

class ServiceControlManager : public platform::ServiceManager {
  public:
    static constexpr std::uint32_t kNever = 0xFFFFFFFF;

    struct Behaviour {
        std::uint32_t state = platform::kServiceRunning;
        std::uint32_t startType = platform::kServiceDemandStart;
        std::uint32_t waitHintMs = 2000;
        std::uint32_t stopTakesMs = 1500;   // kNever: the stop never ends
        std::uint32_t startTakesMs = 1000;  // kNever: the start never ends
        bool accessDenied = false;          // opening the manager fails (no administrator)
        bool startFails = false;            // the service refuses to start
        bool stopIgnored = false;           // the service takes stop controls and runs on
    };

    ServiceControlManager(HandleTable& handles, Clock& clock, FaultPlan& faults);

    platform::Handle OpenSCManager(std::uint32_t access) override;
    platform::Handle OpenService(platform::Handle manager, std::wstring_view name,
                                 std::uint32_t access) override;
    bool QueryServiceStatus(platform::Handle service, platform::ServiceStatus* status) override;
    bool ControlService(platform::Handle service, std::uint32_t control,
                        platform::ServiceStatus* status) override;
    bool StartService(platform::Handle service) override;
    bool QueryServiceConfig(platform::Handle service, void* buffer, std::uint32_t bufferSize,
                            std::uint32_t* bytesNeeded) override;
    std::uint32_t StartTypeOf(const void* config) override;
    bool ChangeStartType(platform::Handle service, std::uint32_t startType) override;
    bool CloseServiceHandle(platform::Handle handle) override;
    void* Allocate(std::size_t bytes) override;
    void Free(void* memory) override;

    // For tests and the demo.
    void Configure(const Behaviour& behaviour);
    std::uint32_t State();
    std::uint32_t StartType();
    // What was asked of the service, in order: "stop", "start", "start-type 4", ...
    std::vector<std::string> History();
    // Someone else sets the service going again (another program, an administrator).
    void StartedByOthers();
    // While held, stop controls wait (in real time) before they act: a test can freeze the
    // thread that stops the service at a known point.
    void HoldStopControls(bool hold);
    // Stop controls waiting in the hold right now.
    int HeldControls();

  private:
    // Completes a pending stop or start whose time has come; with mutex_ held.
    void Advance();
    platform::ServiceStatus StatusLocked();
    bool IsService(platform::Handle handle);

    HandleTable& handles_;
    Clock& clock_;
    FaultPlan& faults_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool hold_ = false;
    int held_ = 0;
    Behaviour behaviour_;
    std::uint64_t transitionAt_ = 0;
    std::vector<std::string> history_;
};

}  // namespace standin
