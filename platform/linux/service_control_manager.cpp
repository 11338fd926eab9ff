#include "platform/linux/service_control_manager.h"

#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "platform/linux/last_error.h"

namespace standin {

namespace {

constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
constexpr std::uint32_t kErrorServiceCannotAcceptControl = 1061;
constexpr std::uint32_t kErrorServiceNotActive = 1062;
constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
constexpr std::uint32_t kErrorServiceRequestTimeout = 1053;
constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;

class ServiceHandle : public KernelObject {
  public:
    explicit ServiceHandle(bool isService) : isService(isService) {}
    ObjectKind kind() const override { return ObjectKind::kService; }
    bool isService;
};

// The stand-in's configuration record: what the program reads of it.
struct Config {
    std::uint32_t serviceType;
    std::uint32_t startType;
    std::uint32_t errorControl;
};

bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    }
    return true;
}

}  // namespace

ServiceControlManager::ServiceControlManager(HandleTable& handles, Clock& clock, FaultPlan& faults)
    : handles_(handles), clock_(clock), faults_(faults) {}

void ServiceControlManager::Configure(const Behaviour& behaviour) {
    std::lock_guard lock(mutex_);
    behaviour_ = behaviour;
    transitionAt_ = 0;
}

void ServiceControlManager::Advance() {
    std::uint32_t& state = behaviour_.state;
    if (state != platform::kServiceStopPending && state != platform::kServiceStartPending) return;
    if (transitionAt_ == 0 || clock_.NowMs() < transitionAt_) return;
    state = state == platform::kServiceStopPending ? platform::kServiceStopped
                                                   : platform::kServiceRunning;
    transitionAt_ = 0;
}

platform::ServiceStatus ServiceControlManager::StatusLocked() {
    Advance();
    platform::ServiceStatus status;
    status.serviceType = kServiceWin32OwnProcess;
    status.currentState = behaviour_.state;
    status.controlsAccepted = behaviour_.state == platform::kServiceRunning ? 1 : 0;
    bool pending = behaviour_.state == platform::kServiceStopPending ||
                   behaviour_.state == platform::kServiceStartPending;
    status.waitHint = pending ? behaviour_.waitHintMs : 0;
    return status;
}

bool ServiceControlManager::IsService(platform::Handle handle) {
    auto object = handles_.FindAs<ServiceHandle>(handle);
    if (!object || !object->isService) {
        SetLastError(platform::kErrorInvalidHandle);
        return false;
    }
    return true;
}

platform::Handle ServiceControlManager::OpenSCManager(std::uint32_t) {
    if (auto fault = faults_.Check("OpenSCManager")) {
        SetLastError(fault->error);
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    if (behaviour_.accessDenied) {
        SetLastError(platform::kErrorAccessDenied);
        return nullptr;
    }
    return handles_.Add(std::make_shared<ServiceHandle>(false));
}

platform::Handle ServiceControlManager::OpenService(platform::Handle manager,
                                                    std::wstring_view name, std::uint32_t) {
    if (auto fault = faults_.Check("OpenService")) {
        SetLastError(fault->error);
        return nullptr;
    }
    auto object = handles_.FindAs<ServiceHandle>(manager);
    if (!object || object->isService) {
        SetLastError(platform::kErrorInvalidHandle);
        return nullptr;
    }
    if (!SameName(name, L"stisvc")) {
        SetLastError(kErrorServiceDoesNotExist);
        return nullptr;
    }
    return handles_.Add(std::make_shared<ServiceHandle>(true));
}

bool ServiceControlManager::QueryServiceStatus(platform::Handle service,
                                               platform::ServiceStatus* status) {
    if (auto fault = faults_.Check("QueryServiceStatus")) {
        SetLastError(fault->error);
        return false;
    }
    if (!IsService(service)) return false;
    std::lock_guard lock(mutex_);
    *status = StatusLocked();
    return true;
}

void ServiceControlManager::HoldStopControls(bool hold) {
    std::lock_guard lock(mutex_);
    hold_ = hold;
    released_.notify_all();
}

int ServiceControlManager::HeldControls() {
    std::lock_guard lock(mutex_);
    return hold_ ? held_ : 0;
}

bool ServiceControlManager::ControlService(platform::Handle service, std::uint32_t control,
                                           platform::ServiceStatus* status) {
    if (auto fault = faults_.Check("ControlService")) {
        SetLastError(fault->error);
        return false;
    }
    if (!IsService(service)) return false;
    std::unique_lock lock(mutex_);
    ++held_;
    released_.wait(lock, [&] { return !hold_; });
    --held_;
    history_.push_back("stop");
    platform::ServiceStatus now = StatusLocked();
    if (control != platform::kServiceControlStop) {
        SetLastError(platform::kErrorInvalidParameter);
        return false;
    }
    if (now.currentState == platform::kServiceStopped) {
        *status = now;
        SetLastError(kErrorServiceNotActive);
        return false;
    }
    if (now.currentState != platform::kServiceRunning) {
        *status = now;
        SetLastError(kErrorServiceCannotAcceptControl);
        return false;
    }
    if (behaviour_.stopIgnored) {
        *status = now;
        return true;
    }
    behaviour_.state = platform::kServiceStopPending;
    transitionAt_ = behaviour_.stopTakesMs == kNever ? 0 : clock_.NowMs() + behaviour_.stopTakesMs;
    if (behaviour_.stopTakesMs == 0) behaviour_.state = platform::kServiceStopped;
    *status = StatusLocked();
    return true;
}

bool ServiceControlManager::StartService(platform::Handle service) {
    if (auto fault = faults_.Check("StartService")) {
        SetLastError(fault->error);
        return false;
    }
    if (!IsService(service)) return false;
    std::lock_guard lock(mutex_);
    history_.push_back("start");
    platform::ServiceStatus now = StatusLocked();
    if (behaviour_.startType == platform::kServiceDisabled) {
        SetLastError(platform::kErrorServiceDisabled);
        return false;
    }
    if (now.currentState != platform::kServiceStopped) {
        SetLastError(kErrorServiceAlreadyRunning);
        return false;
    }
    if (behaviour_.startFails) {
        SetLastError(kErrorServiceRequestTimeout);
        return false;
    }
    behaviour_.state = platform::kServiceStartPending;
    transitionAt_ =
        behaviour_.startTakesMs == kNever ? 0 : clock_.NowMs() + behaviour_.startTakesMs;
    if (behaviour_.startTakesMs == 0) behaviour_.state = platform::kServiceRunning;
    return true;
}

bool ServiceControlManager::QueryServiceConfig(platform::Handle service, void* buffer,
                                               std::uint32_t bufferSize,
                                               std::uint32_t* bytesNeeded) {
    if (auto fault = faults_.Check("QueryServiceConfig")) {
        SetLastError(fault->error);
        return false;
    }
    if (!IsService(service)) return false;
    // Like the real record, it carries texts after the fixed fields.
    constexpr std::uint32_t kSize = sizeof(Config) + 96;
    *bytesNeeded = kSize;
    if (buffer == nullptr || bufferSize < kSize) {
        SetLastError(platform::kErrorInsufficientBuffer);
        return false;
    }
    std::lock_guard lock(mutex_);
    Config config{kServiceWin32OwnProcess, behaviour_.startType, 1};
    std::memcpy(buffer, &config, sizeof config);
    return true;
}

std::uint32_t ServiceControlManager::StartTypeOf(const void* config) {
    Config c;
    std::memcpy(&c, config, sizeof c);
    return c.startType;
}

bool ServiceControlManager::ChangeStartType(platform::Handle service, std::uint32_t startType) {
    if (auto fault = faults_.Check("ChangeServiceConfig")) {
        SetLastError(fault->error);
        return false;
    }
    if (!IsService(service)) return false;
    std::lock_guard lock(mutex_);
    history_.push_back("start-type " + std::to_string(startType));
    behaviour_.startType = startType;
    return true;
}

bool ServiceControlManager::CloseServiceHandle(platform::Handle handle) {
    if (!handles_.FindAs<ServiceHandle>(handle)) {
        SetLastError(platform::kErrorInvalidHandle);
        return false;
    }
    handles_.Remove(handle);
    return true;
}

void* ServiceControlManager::Allocate(std::size_t bytes) {
    if (auto fault = faults_.Check("LocalAlloc")) {
        SetLastError(fault->error ? fault->error : platform::kErrorNotEnoughMemory);
        return nullptr;
    }
    return std::malloc(bytes);
}

void ServiceControlManager::Free(void* memory) {
    std::free(memory);
}

std::uint32_t ServiceControlManager::State() {
    std::lock_guard lock(mutex_);
    return StatusLocked().currentState;
}

std::uint32_t ServiceControlManager::StartType() {
    std::lock_guard lock(mutex_);
    return behaviour_.startType;
}

std::vector<std::string> ServiceControlManager::History() {
    std::lock_guard lock(mutex_);
    return history_;
}

void ServiceControlManager::StartedByOthers() {
    std::lock_guard lock(mutex_);
    behaviour_.startType = platform::kServiceAutoStart;
    behaviour_.state = platform::kServiceRunning;
    transitionAt_ = 0;
}

}  // namespace standin
