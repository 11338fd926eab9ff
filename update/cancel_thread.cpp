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

void WaitForUpdateThreads(CFWUpdateDlg& dlg) {
    platform::Platform& os = platform::Get();
    for (DeviceSlot& slot : dlg.slots) {
        platform::Handle thread = slot.updateThread.load();
        if (thread == nullptr) continue;
        for (int i = 0; i < kMaxWaits; ++i) {
            if (os.threads().WaitForThread(thread, kWaitSliceMs) != platform::kWaitTimeout) break;
        }
        os.CloseHandle(thread);
        slot.updateThread.store(nullptr);
    }
}

void WaitForServiceThread(CFWUpdateDlg& dlg) {
    platform::Platform& os = platform::Get();
    platform::Handle thread = dlg.serviceThread.load();
    if (thread == nullptr) return;
    for (int attempt = 0; attempt < kMaxWaits; ++attempt) {
        std::uint32_t result = os.threads().WaitForThread(thread, kWaitSliceMs);
        if (result == platform::kWaitTimeout) {
            ConsolePrint(L"[Cancel Thread] Closed WIA Thread return wait time out!!\n");
            os.clock().SleepMs(kWaitSliceMs);
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
    os.CloseHandle(thread);
    dlg.serviceThread.store(nullptr);
}

std::uint32_t CancelThread(CFWUpdateDlg& dlg) {
    ApplyLanguageSetting();
    WaitForUpdateThreads(dlg);
    WaitForServiceThread(dlg);
    dlg.ShowRowStatus(0, LoadText(231));
    {
        CWIAControl wia;
        if (!wia.StartWia()) dlg.ShowRowStatus(0, LoadText(227));
    }
    dlg.ReleaseBusyLocks();
    dlg.EndDialog(IDCANCEL);
    return 0;
}

}  // namespace

void CFWUpdateDlg::OnClose() {
    DisableCommands();
    if (cancelThread.load() != nullptr) return;
    ConsolePrint(L"[Cancel Button] Create Cancel Thread...\n");
    platform::ThreadId id = 0;
    cancelThread.store(
        platform::Get().threads().CreateThread([this] { return CancelThread(*this); }, &id));
}
