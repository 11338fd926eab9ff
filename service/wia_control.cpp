#include "service/wia_control.h"

#include <algorithm>

#include "link/console.h"
#include "platform/platform.h"

namespace {
platform::ServiceManager& Scm() {
    return platform::Get().services();
}
}  // namespace

CWIAControl::~CWIAControl() {
    CloseHandles();
}

void CWIAControl::CloseHandles() {
    if (m_hService != nullptr) Scm().CloseServiceHandle(m_hService);
    if (m_hSCManager != nullptr) Scm().CloseServiceHandle(m_hSCManager);
    m_hService = nullptr;
    m_hSCManager = nullptr;
}

bool CWIAControl::QueryWiaStatus(platform::ServiceStatus* status) {
    if (status == nullptr) return false;
    if (m_hSCManager == nullptr) {
        m_hSCManager = Scm().OpenSCManager(platform::kScManagerAllAccess);
        if (m_hSCManager == nullptr) return false;
    }
    if (m_hService == nullptr) {
        m_hService =
            Scm().OpenService(m_hSCManager, STILL_IMAGE_SERVICE, platform::kServiceAllAccess);
        if (m_hService == nullptr) {
            CloseHandles();
            return false;
        }
    }
    m_status = {};
    if (!Scm().QueryServiceStatus(m_hService, &m_status)) {
        CloseHandles();
        return false;
    }
    *status = m_status;
    return true;
}

bool CWIAControl::IsWiaRunning() {
    if (m_hSCManager == nullptr) m_hSCManager = Scm().OpenSCManager(platform::kGenericExecute);
    if (m_hSCManager != nullptr && m_hService == nullptr) {
        m_hService = Scm().OpenService(m_hSCManager, L"STISVC", platform::kServiceControlAccess);
    }
    if (m_hSCManager == nullptr || m_hService == nullptr) {
        CloseHandles();
        return false;
    }
    m_status = {};
    bool read = Scm().QueryServiceStatus(m_hService, &m_status);
    CloseHandles();
    return read && m_status.currentState == platform::kServiceRunning;
}

bool CWIAControl::ReadStartType(std::uint32_t* startType, bool reportAllocation) {
    if (m_hSCManager == nullptr || m_hService == nullptr) QueryWiaStatus(&m_status);
    if (m_hSCManager == nullptr || m_hService == nullptr) return false;
    platform::Platform& os = platform::Get();
    std::uint32_t needed = 0;
    if (!Scm().QueryServiceConfig(m_hService, nullptr, 0, &needed) &&
        os.GetLastError() != platform::kErrorInsufficientBuffer) {
        ConsolePrint(L"QueryServiceConfig failed (%d)", os.GetLastError());
        return false;
    }
    void* config = Scm().Allocate(needed);
    if (config == nullptr) {
        if (reportAllocation) ConsolePrint(L"Memory allocation failed\n");
        return false;
    }
    if (!Scm().QueryServiceConfig(m_hService, config, needed, &needed)) {
        ConsolePrint(L"QueryServiceConfig failed (%d)", os.GetLastError());
        Scm().Free(config);
        return false;
    }
    *startType = Scm().StartTypeOf(config);
    Scm().Free(config);
    return true;
}

bool CWIAControl::IsWiaDisabled() {
    std::uint32_t startType = 0;
    return ReadStartType(&startType, true) && startType == platform::kServiceDisabled;
}

bool CWIAControl::SetWiaStartType(std::uint32_t startType) {
    startType &= 0xFF;
    std::uint32_t current = 0;
    if (!ReadStartType(&current, false)) return false;
    if (current == startType) return true;
    return Scm().ChangeStartType(m_hService, startType);
}

void CWIAControl::SleepWaitHint(std::uint64_t deadline) {
    // Never past the deadline: a service whose wait hint outlasts the limit does not keep
    // the operation (and a cancel procedure waiting for it) beyond it.
    platform::Clock& clock = platform::Get().clock();
    std::uint64_t now = clock.NowMs();
    std::uint64_t left = deadline > now ? deadline - now : 0;
    clock.SleepMs(static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::max(m_status.waitHint, SERVICE_MIN_POLL_MS), left)));
}

bool CWIAControl::StopWia() {
    platform::Clock& clock = platform::Get().clock();
    bool stopped = QueryWiaStatus(&m_status);
    std::uint64_t deadline = clock.NowMs() + SERVICE_STOP_LIMIT_MS;
    if (stopped && m_status.currentState == platform::kServiceRunning) {
        Scm().ControlService(m_hService, platform::kServiceControlStop, &m_status);
        Scm().QueryServiceStatus(m_hService, &m_status);
        for (;;) {
            if (clock.NowMs() >= deadline) {
                stopped = false;
                break;
            }
            SleepWaitHint(deadline);
            if (m_status.currentState == platform::kServiceStopped) {
                stopped = true;
                break;
            }
            Scm().ControlService(m_hService, platform::kServiceControlStop, &m_status);
            Scm().QueryServiceStatus(m_hService, &m_status);
        }
    }
    // Disabled even when the stop failed, so that nothing starts it on demand meanwhile.
    bool disabled = SetWiaStartType(platform::kServiceDisabled);
    return disabled && stopped;
}

bool CWIAControl::StartWia() {
    if (!SetWiaStartType(platform::kServiceAutoStart)) return false;
    platform::Clock& clock = platform::Get().clock();
    platform::ServiceStatus status;
    // A status that cannot be read says nothing of whether the service runs: that is no
    // success to report.
    if (!QueryWiaStatus(&status)) return false;
    if (status.currentState == platform::kServiceStopped) {
        if (!Scm().StartService(m_hService)) return false;
        std::uint64_t deadline = clock.NowMs() + SERVICE_START_LIMIT_MS;
        while (Scm().QueryServiceStatus(m_hService, &m_status)) {
            SleepWaitHint(deadline);
            if (m_status.currentState == platform::kServiceRunning) break;
            if (clock.NowMs() >= deadline) return false;
        }
    }
    return true;
}
