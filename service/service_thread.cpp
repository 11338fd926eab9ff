#include "service/service_thread.h"

#include "app/fwupdate_dlg.h"
#include "app/load_text.h"
#include "app/settings.h"
#include "link/console.h"
#include "service/wia_control.h"

void StartServiceThread(CFWUpdateDlg& dlg, std::int32_t eventNumber) {
    // Started on the window's thread, where Close sets the Closing mark: once Closing has
    // begun no service thread starts (the cancel thread's restart of the service is the
    // last word on it), and the cancel thread finds the handle of every one that did.
    dlg.OnWindowThread([&] {
        if (dlg.closing.load()) return;
        ServiceThreadParam param{&dlg, eventNumber};
        platform::ThreadId id = 0;
        platform::Handle thread =
            platform::Get().threads().CreateThread([param] { return ServiceThread(param); }, &id);
        dlg.serviceThreadId.store(id);
        dlg.serviceThread.store(thread);
    });
}

std::uint32_t ServiceThread(ServiceThreadParam param) {
    ApplyLanguageSetting();
    CFWUpdateDlg& dlg = *param.dlg;
    {
        CWIAControl wia;
        ConsolePrint(L"[Thread][Create Event %d] Closed WIA Start!!\n", param.eventNumber);
        if (!wia.StopWia()) {
            dlg.SetStatusLabel(LoadText(226));
        } else if (!dlg.closing.load()) {
            dlg.GetDeviceStatus(1, param.eventNumber);
        }
        ConsolePrint(L"[Thread][Create Event %d] Closed WIA finish!!\n", param.eventNumber);
    }
    return 1;
}

bool CFWUpdateDlg::CheckWiaClosed(int callerFlag, int eventNumber) {
    CWIAControl wia;
    platform::Platform& os = platform::Get();
    bool closed = wia.IsWiaDisabled() && !wia.IsWiaRunning();
    platform::Handle thread = serviceThread.load();

    if (closed && (callerFlag != 0 || thread == nullptr)) return true;
    if (!closed && thread == nullptr) {
        SetStatusLabel(LoadText(230));
        StartServiceThread(*this, eventNumber);
        return false;
    }
    std::uint32_t code = 0;
    if (!os.threads().GetExitCodeThread(thread, &code)) {
        SetStatusLabel(LoadText(226));
        return false;
    }
    if (code == platform::kStillActive) {
        SetStatusLabel(LoadText(230));
        return false;
    }
    // The thread has ended: its handle is done with.
    os.CloseHandle(thread);
    serviceThread.store(nullptr);
    if (closed) return true;
    SetStatusLabel(LoadText(230));
    StartServiceThread(*this, eventNumber);
    return false;
}
