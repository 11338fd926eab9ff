// Control of the still-image service ("stisvc", the imaging service the messages call
// WIA): stopped and disabled while the tool works with the scanner, set to automatic
// start and started again afterwards. Each object belongs to the one operation that made it.
#pragma once

#include "platform/service_manager.h"

constexpr wchar_t STILL_IMAGE_SERVICE[] = L"stisvc";
constexpr std::uint32_t SERVICE_STOP_LIMIT_MS = 60000;
// The start is bounded like the stop: a service that never comes up does not hold the
// tool forever.
constexpr std::uint32_t SERVICE_START_LIMIT_MS = 60000;
// Pause between status reads when the service gives a wait hint of 0.
constexpr std::uint32_t SERVICE_MIN_POLL_MS = 100;

class CWIAControl {
  public:
    CWIAControl() = default;
    virtual ~CWIAControl();
    CWIAControl(const CWIAControl&) = delete;
    CWIAControl& operator=(const CWIAControl&) = delete;

    bool QueryWiaStatus(platform::ServiceStatus* status);
    bool IsWiaRunning();
    bool IsWiaDisabled();
    bool SetWiaStartType(std::uint32_t startType);
    bool StopWia();
    bool StartWia();

    platform::Handle m_hSCManager = nullptr;
    platform::Handle m_hService = nullptr;
    platform::ServiceStatus m_status{};

  private:
    // Reads the configured start type into *startType; false after printing why.
    bool ReadStartType(std::uint32_t* startType, bool reportAllocation);
    void CloseHandles();
    void SleepWaitHint(std::uint64_t deadline);
};
