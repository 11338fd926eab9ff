// The Update command and the update thread.
#include "app/fwupdate_dlg.h"
#include "app/load_text.h"
#include "app/settings.h"
#include "app/text_format.h"
#include "link/command_exchange.h"
#include "link/console.h"
#include "service/wia_control.h"

namespace {

constexpr std::uint32_t kWaitSliceMs = 1000;
constexpr int kMaxWaits = 100;

std::uint32_t UpdateThread(CFWUpdateDlg& dlg) {
    int row = dlg.currentRow.load();
    ApplyLanguageSetting();
    bool succeeded = dlg.RunUpdate(USB_INTERFACE, row);
    std::wstring failure = succeeded ? std::wstring() : dlg.GetRowStatus(row);

    // The imaging service comes back whatever the outcome.
    dlg.ShowRowStatus(row, LoadText(231));
    {
        CWIAControl wia;
        if (wia.StartWia()) {
            ConsolePrint(L"[Thread_MiraUpdate] Start WIA Finish!!\n");
        } else {
            dlg.ShowRowStatus(row, LoadText(227));
        }
    }
    dlg.ShowRowStatus(row, succeeded ? LoadText(253) : Format(LoadText(254), failure));

    dlg.slots[row].updateRunning.store(0);
    dlg.ReleaseBusyLocks();
    dlg.EnableSearchAndClose(true);  // unless another update has begun meanwhile
    dlg.EnableUpdateButton(false);
    return 0;
}

}  // namespace

void CFWUpdateDlg::OnUpdate() {
    // A command can arrive with the button disabled (the keyboard, another program): no
    // second update beside a running one, and none once Closing has begun.
    if (closing.load() || AnySlotUpdating()) return;
    currentRow.store(0);
    int row = 0;
    DisableCommands();
    if (!HasReadyMark(row)) {
        Host().MessageBox(LoadText(248), ProgramName());
        EnableSearchAndClose(true);
        return;
    }
    SetRowStatus(row, L"");
    DeviceSlot& slot = slots[row];
    slot.updateRunning.store(1);

    platform::Platform& os = platform::Get();
    if (platform::Handle previous = slot.updateThread.load()) {
        // The last update of this row has ended or is ending; the window keeps serving
        // while it waits, so that thread can finish its last window calls.
        for (int i = 0; i < kMaxWaits; ++i) {
            std::uint32_t result = Host().WaitForThreadPumping(previous, kWaitSliceMs);
            if (result == platform::kWaitObject0) break;
            if (result == platform::kWaitTimeout) {
                ConsolePrint(L"[Update] MiraUpdate Thread return wait time out!!\n");
                continue;
            }
            if (result == platform::kWaitFailed) {
                ConsolePrint(L"[Update] MiraUpdate Thread return Wait failed!!\n");
            } else {
                ConsolePrint(L"[Update] MiraUpdate Thread return Unknow(%u)\n", result);
            }
            break;
        }
        os.CloseHandle(previous);
        slot.updateThread.store(nullptr);
    }

    platform::ThreadId id = 0;
    platform::Handle thread =
        os.threads().CreateThread([this] { return UpdateThread(*this); }, &id);
    if (thread == nullptr) {
        // No update runs: give the commands back rather than leave the window stuck.
        slot.updateRunning.store(0);
        EnableSearchAndClose(true);
        return;
    }
    slot.updateThread.store(thread);
}
