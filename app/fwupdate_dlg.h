// The program's only window: what was found, over which interface, what the tool is
// doing, and the commands Search Device, Update and Close. It owns the state that the
// worker threads share and the window operations through which they report.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

constexpr int kMaxDestinations = 200;
constexpr int kBusyLockKinds = 3;

// One per destination row; only slot 0 is used.
struct DeviceSlot {
    // The last update thread started for the row; kept after it ended until the next
    // update of the row or the cancel procedure closes it.
    std::atomic<platform::Handle> updateThread{nullptr};
    // 1 from the Update command until the update thread has finished.
    std::atomic<int> updateRunning{0};
};

class CFWUpdateDlg : public platform::DialogEvents {
  public:
    CFWUpdateDlg();
    virtual ~CFWUpdateDlg();
    CFWUpdateDlg(const CFWUpdateDlg&) = delete;
    CFWUpdateDlg& operator=(const CFWUpdateDlg&) = delete;

    // Shows the window and returns when it has ended (only the cancel procedure ends it).
    int DoModal();
    // Waits, at most limitMs in all, for every worker thread the window started (those the
    // cancel procedure gave up on included) and closes their handles. False when one still
    // runs: then the window object must outlive the process's last moment.
    bool WaitForWorkers(std::uint32_t limitMs);

    // Window events, on the window's thread.
    void OnInitDialog() override;
    void OnCommand(int id) override;

    // Commands.
    void OnSearchDevice();
    void OnUpdate();
    void OnClose();

    // Window operations: callable from any thread; each has acted on the window's
    // controls when it returns.
    void ShowRowStatus(int row, std::wstring_view text);
    // Sets the row's status cell only; the status label keeps its text.
    void SetRowStatus(int row, std::wstring_view text);
    void SetStatusLabel(std::wstring_view text);
    std::wstring GetRowStatus(int row);
    void SetReadyMark(int row, bool on);
    bool HasReadyMark(int row);
    void ShowDeviceLabels();
    void EnableUpdateButton(bool on);
    void EnableSearchAndClose(bool on);
    void DisableCommands();
    bool AnySlotUpdating();
    // deviceName and interfaceName live on the window's thread: two status queries on
    // two threads may write them at once, and the last write wins without tearing.
    void SetDeviceName(std::wstring_view text);
    void SetInterfaceName(std::wstring_view text);
    // Runs fn on the window's thread; does nothing when the window is gone.
    void OnWindowThread(const std::function<void()>& fn);
    // Waits for a thread to end while the window keeps serving window operations.
    std::uint32_t WaitForThreadServingWindow(platform::Handle thread, std::uint32_t timeoutMs);

    // Ends the window with the given result; carried out by the window's thread.
    void EndDialog(int result);
    // A worker the cancel procedure stopped waiting for while it still ran: waited for
    // once more, and its handle closed, before the window object goes away.
    void KeepGivenUpWorker(platform::Handle thread);

    // Device discovery and busy locks.
    bool FindDeviceFriendlyName();
    bool AcquireBusyLock(int kind);
    bool LockScanApplications();
    void ReleaseBusyLocks();
    bool HasVantorLock();
    std::wstring FriendlyName();

    // The imaging service: whether it is closed, starting the service thread when not.
    bool CheckWiaClosed(int callerFlag, int eventNumber);

    // The status query behind Search Device and the service thread.
    int GetDeviceStatus(int callerFlag, int eventNumber);

    // The firmware update.
    enum class Variant { kNormal, kRecovery };
    bool LoadFirmwareImage(int number, int row, const std::uint8_t** image, std::uint32_t* size);
    bool TransferAndBurn(std::wstring_view interfaceName, int imageNumber,
                         std::uint16_t imageParameter, Variant variant, int limit, int row);
    bool RunUpdate(std::wstring_view interfaceName, int row);

    // Shared fields.
    const int appIcon;
    std::atomic<int> currentRow{0};
    std::atomic<platform::Handle> serviceThread{nullptr};
    std::atomic<platform::ThreadId> serviceThreadId{0};
    std::atomic<platform::Handle> cancelThread{nullptr};
    // Set by the first Close on the window's thread, before the cancel thread is created,
    // and never cleared: from then on no worker starts, no command runs and nothing
    // enables a command again.
    std::atomic<bool> closing{false};
    std::array<DeviceSlot, kMaxDestinations> slots;
    std::array<std::atomic<platform::Handle>, kBusyLockKinds> busyGuard;

    // Window-thread state (read and written only inside the window's thread).
    std::wstring deviceName;
    std::wstring interfaceName;
    std::wstring initialStatus;

  private:
    platform::DialogHost& Host();
    // Whether a command may be enabled: no update runs and Close has not begun.
    bool MayEnableCommands();

    std::shared_ptr<platform::DialogHost> host_;
    std::mutex givenUpMutex_;
    std::vector<platform::Handle> givenUp_;
    // The scanner's friendly name as device setup registered it (at most 255 characters):
    // written by the lookup, read for the busy-lock names, on whichever thread runs them.
    std::mutex friendlyNameMutex_;
    std::wstring deviceFriendlyName;
};

// The file-version text of an executable ("0.3.61.0"), or empty when it has none.
std::wstring ReadFileVersion(std::wstring_view path);

// The program's name: the executable's file name without its extension.
std::wstring ProgramName();
