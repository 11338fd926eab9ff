// The service control manager, for the one service the program controls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/types.h"

namespace platform {

struct ServiceStatus {
    std::uint32_t serviceType = 0;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;  // milliseconds
};

constexpr std::uint32_t kServiceStopped = 1;
constexpr std::uint32_t kServiceStartPending = 2;
constexpr std::uint32_t kServiceStopPending = 3;
constexpr std::uint32_t kServiceRunning = 4;
constexpr std::uint32_t kServiceAutoStart = 2;
constexpr std::uint32_t kServiceDemandStart = 3;
constexpr std::uint32_t kServiceDisabled = 4;
constexpr std::uint32_t kServiceControlStop = 1;

constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
constexpr std::uint32_t kServiceAllAccess = 0xF003F;
constexpr std::uint32_t kGenericExecute = 0x20000000;
// Stop, start, query status and change configuration.
constexpr std::uint32_t kServiceControlAccess = 0x36;

class ServiceManager {
  public:
    virtual ~ServiceManager() = default;
    // Null and the last error on failure.
    virtual Handle OpenSCManager(std::uint32_t access) = 0;
    virtual Handle OpenService(Handle manager, std::wstring_view name, std::uint32_t access) = 0;
    virtual bool QueryServiceStatus(Handle service, ServiceStatus* status) = 0;
    // Sends a control; the service's answer lands in *status.
    virtual bool ControlService(Handle service, std::uint32_t control, ServiceStatus* status) = 0;
    virtual bool StartService(Handle service) = 0;
    // The service's configuration. With a buffer too small (or none) it fails with
    // kErrorInsufficientBuffer and says in *bytesNeeded how much it needs.
    virtual bool QueryServiceConfig(Handle service, void* buffer, std::uint32_t bufferSize,
                                    std::uint32_t* bytesNeeded) = 0;
    // The start type in a configuration that QueryServiceConfig filled.
    virtual std::uint32_t StartTypeOf(const void* config) = 0;
    // Changes the start type only; everything else stays as it is.
    virtual bool ChangeStartType(Handle service, std::uint32_t startType) = 0;
    virtual bool CloseServiceHandle(Handle handle) = 0;
    // Memory for a configuration (LocalAlloc / LocalFree); null when none is left.
    virtual void* Allocate(std::size_t bytes) = 0;
    virtual void Free(void* memory) = 0;
};

}  // namespace platform
