#include "platform/win32/service_manager.h"

#include "platform/win32/windows_api.h"

namespace win32 {

namespace {

SC_HANDLE Sc(platform::Handle handle) {
    return static_cast<SC_HANDLE>(handle);
}

void CopyStatus(const SERVICE_STATUS& from, platform::ServiceStatus* to) {
    to->serviceType = from.dwServiceType;
    to->currentState = from.dwCurrentState;
    to->controlsAccepted = from.dwControlsAccepted;
    to->win32ExitCode = from.dwWin32ExitCode;
    to->serviceSpecificExitCode = from.dwServiceSpecificExitCode;
    to->checkPoint = from.dwCheckPoint;
    to->waitHint = from.dwWaitHint;
}

}  // namespace

platform::Handle ServiceManager::OpenSCManager(std::uint32_t access) {
    return ::OpenSCManagerW(nullptr, nullptr, access);
}

platform::Handle ServiceManager::OpenService(platform::Handle manager, std::wstring_view name,
                                             std::uint32_t access) {
    const std::wstring terminated = Terminated(name);
    return ::OpenServiceW(Sc(manager), terminated.c_str(), access);
}

bool ServiceManager::QueryServiceStatus(platform::Handle service, platform::ServiceStatus* status) {
    SERVICE_STATUS raw{};
    if (!::QueryServiceStatus(Sc(service), &raw)) return false;
    CopyStatus(raw, status);
    return true;
}

bool ServiceManager::ControlService(platform::Handle service, std::uint32_t control,
                                    platform::ServiceStatus* status) {
    SERVICE_STATUS raw{};
    const BOOL ok = ::ControlService(Sc(service), control, &raw);
    // The answer is filled in also when the control is refused (e.g. a stop pending).
    CopyStatus(raw, status);
    return ok != FALSE;
}

bool ServiceManager::StartService(platform::Handle service) {
    return ::StartServiceW(Sc(service), 0, nullptr) != FALSE;
}

bool ServiceManager::QueryServiceConfig(platform::Handle service, void* buffer,
                                        std::uint32_t bufferSize, std::uint32_t* bytesNeeded) {
    DWORD needed = 0;
    const BOOL ok = ::QueryServiceConfigW(Sc(service), static_cast<QUERY_SERVICE_CONFIGW*>(buffer),
                                          bufferSize, &needed);
    *bytesNeeded = needed;
    return ok != FALSE;
}

std::uint32_t ServiceManager::StartTypeOf(const void* config) {
    return static_cast<const QUERY_SERVICE_CONFIGW*>(config)->dwStartType;
}

bool ServiceManager::ChangeStartType(platform::Handle service, std::uint32_t startType) {
    return ::ChangeServiceConfigW(Sc(service), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr) != FALSE;
}

bool ServiceManager::CloseServiceHandle(platform::Handle handle) {
    return ::CloseServiceHandle(Sc(handle)) != FALSE;
}

void* ServiceManager::Allocate(std::size_t bytes) {
    return ::LocalAlloc(LPTR, bytes);
}

void ServiceManager::Free(void* memory) {
    ::LocalFree(memory);
}

}  // namespace win32
