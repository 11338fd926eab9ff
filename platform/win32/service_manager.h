// The service control manager through the Windows service functions.
#pragma once

#include "platform/service_manager.h"

namespace win32 {

class ServiceManager final : public platform::ServiceManager {
  public:
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
};

}  // namespace win32
