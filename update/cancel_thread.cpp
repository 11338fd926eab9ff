// The Close command and the cancel thread: let the workers finish, give the imaging
// service back, release the busy locks, then end the window.
#include "app/fwupdate_dlg.h"
#include "app/load_text.h"
#include "app/settings.h"
#include "link/console.h"
#include "resource.h"
#include "service/wia_control.h"

namespace {

constexpr std::uint32_t kWaitSliceMs = 1000;
constexpr int kMaxWaits = 100;

// How the cancel procedure waits for a worker: on its own thread it simply waits; on the
// window's thread (when its own thread could not be started) it keeps serving the
// window meanwhile, so a worker in the middle of a window operation can finish.
class WorkerWait {
  public:
    WorkerWait(CFWUpdateDlg& dlg, bool onWindowThread)
        : dlg_(dlg), onWindowThread_(onWindowThread) {}

    std::uint32_t Wait(platform::Handle thread, std::uint32_t ms) {
        if (onWindowThread_) return dlg_.WaitForThreadServingWindow(thread, ms);
        return platform::Get().threads().WaitForThread(thread, ms);
    }
    // The pause between two waits for the same thread.
    void Pause(platform::Handle thread, std::uint32_t ms) {
        if (onWindowThread_) {
            dlg_.WaitForThreadServingWindow(thread, ms);
        } else {
            platform::Get().clock().SleepMs(ms);
        }
    }

  private:
    CFWUpdateDlg& dlg_;
    bool onWindowThread_;
};

// A thread that was not seen to end is not stopped; its handle is kept, so that the
// program waits for it once more before the window object goes away.
void LetGo(CFWUpdateDlg& dlg, platform::Handle thread, bool ended) {
    if (ended) {
        platform::Get().CloseHandle(thread);
    } else {
        dlg.KeepGivenUpWorker(thread);
    }
}

void WaitForUpdateThreads(CFWUpdateDlg& dlg, WorkerWait& wait) {
    for (DeviceSlot& slot : dlg.slots) {
        platform::Handle thread = slot.updateThread.load();
        if (thread == nullptr) continue;
        std::uint32_t result = platform::kWaitTimeout;
        for (int i = 0; i < kMaxWaits && result == platform::kWaitTimeout; ++i) {
            result = wait.Wait(thread, kWaitSliceMs);
        }
        LetGo(dlg, thread, result == platform::kWaitObject0);
        slot.updateThread.store(nullptr);
    }
}

void WaitForServiceThread(CFWUpdateDlg& dlg, WorkerWait& wait) {
    platform::Platform& os = platform::Get();
    platform::Handle thread = dlg.serviceThread.load();
    if (thread == nullptr) return;
    std::uint32_t result = platform::kWaitTimeout;
    for (int attempt = 0; attempt < kMaxWaits; ++attempt) {
        result = wait.Wait(thread, kWaitSliceMs);
        if (result == platform::kWaitTimeout) {
            ConsolePrint(L"[Cancel Thread] Closed WIA Thread return wait time out!!\n");
            wait.Pause(thread, kWaitSliceMs);
            continue;
        }
        if (result == platform::kWaitObject0) {
            ConsolePrint(L"[Cancel Thread] Closed WIA Thread return TRUE!!\n");
        } else if (result == platform::kWaitFailed) {
            ConsolePrint(
                L"[Cancel Thread] Closed WIA Thread return Wait failed!! ErrorCode (0x%x)\n",
                os.GetLastError());
        } else {
            ConsolePrint(L"[Cancel Thread] Closed WIA Thread return Unknow error(%u)\n", result);
        }
        break;
    }
    LetGo(dlg, thread, result == platform::kWaitObject0);
    dlg.serviceThread.store(nullptr);
}

void CancelProcedure(CFWUpdateDlg& dlg, bool onWindowThread) {
    WorkerWait wait(dlg, onWindowThread);
    WaitForUpdateThreads(dlg, wait);
    WaitForServiceThread(dlg, wait);
    dlg.ShowRowStatus(0, LoadText(231));
    {
        CWIAControl wia;
        if (!wia.StartWia()) dlg.ShowRowStatus(0, LoadText(227));
    }
    dlg.ReleaseBusyLocks();
    dlg.EndDialog(IDCANCEL);
}

std::uint32_t CancelThread(CFWUpdateDlg& dlg) {
    ApplyLanguageSetting();
    CancelProcedure(dlg, false);
    return 0;
}

}  // namespace

void CFWUpdateDlg::OnClose() {
    // Close cannot begin while an update runs. Its button is disabled then, but the
    // keyboard's cancel key or another program's command still arrives here; the update
    // must end on its own, or the service would be restarted under it and the program end
    // in the middle of a burn.
    if (!closing.load() && AnySlotUpdating()) {
        ConsolePrint(L"[Cancel Button] Update is running, Close ignored...\n");
        return;
    }
    DisableCommands();
    // The Closing mark comes before the cancel thread, on the window's thread: every
    // worker that looks after this moment sees it, and no worker starts from here on.
    if (closing.exchange(true)) return;
    ConsolePrint(L"[Cancel Button] Create Cancel Thread...\n");
    platform::ThreadId id = 0;
    platform::Handle thread =
        platform::Get().threads().CreateThread([this] { return CancelThread(*this); }, &id);
    if (thread == nullptr) {
        // Close still gives the service back and ends the program: the procedure runs
        // here, serving the window while it waits for the workers.
        ConsolePrint(L"[Cancel Button] Create Cancel Thread failed (%u), closing here...\n",
                     platform::Get().GetLastError());
        CancelProcedure(*this, true);
        return;
    }
    cancelThread.store(thread);
}
