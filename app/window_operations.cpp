// The window operations through which every thread reports. Each runs on the window's
// thread and has acted on the controls when it returns.
#include "app/fwupdate_dlg.h"
#include "resource.h"

namespace {
constexpr int kStatusColumn = 1;
}

void CFWUpdateDlg::ShowRowStatus(int row, std::wstring_view text) {
    OnWindowThread([&] {
        Host().ListSetItemText(IDC_LIST_DESTINATION, row, kStatusColumn, text);
        Host().SetItemText(IDC_STATIC_STATUS,
                           Host().ListGetItemText(IDC_LIST_DESTINATION, row, kStatusColumn));
    });
}

void CFWUpdateDlg::SetRowStatus(int row, std::wstring_view text) {
    OnWindowThread([&] { Host().ListSetItemText(IDC_LIST_DESTINATION, row, kStatusColumn, text); });
}

void CFWUpdateDlg::SetStatusLabel(std::wstring_view text) {
    OnWindowThread([&] { Host().SetItemText(IDC_STATIC_STATUS, text); });
}

std::wstring CFWUpdateDlg::GetRowStatus(int row) {
    std::wstring text;
    OnWindowThread(
        [&] { text = Host().ListGetItemText(IDC_LIST_DESTINATION, row, kStatusColumn); });
    return text;
}

void CFWUpdateDlg::SetReadyMark(int row, bool on) {
    OnWindowThread([&] { Host().ListSetCheck(IDC_LIST_DESTINATION, row, on); });
}

bool CFWUpdateDlg::HasReadyMark(int row) {
    bool on = false;
    OnWindowThread([&] { on = Host().ListGetCheck(IDC_LIST_DESTINATION, row); });
    return on;
}

void CFWUpdateDlg::ShowDeviceLabels() {
    OnWindowThread([&] {
        Host().SetItemText(IDC_STATIC_NAME, deviceName);
        Host().SetItemText(IDC_STATIC_INTERFACE, interfaceName);
    });
}

// Enabling is decided on the window's thread, where Close sets the Closing mark and the
// Update command marks its slot: a worker that looked at the slots a moment earlier
// cannot give a command back during an update, or at all once Closing has begun.
bool CFWUpdateDlg::MayEnableCommands() {
    return !closing.load() && !AnySlotUpdating();
}

void CFWUpdateDlg::EnableUpdateButton(bool on) {
    OnWindowThread([&] {
        if (on && !MayEnableCommands()) return;
        Host().EnableItem(IDC_BTN_UPDATE, on);
    });
}

void CFWUpdateDlg::EnableSearchAndClose(bool on) {
    OnWindowThread([&] {
        if (on && !MayEnableCommands()) return;
        Host().EnableItem(IDC_BTN_SEARCH, on);
        Host().EnableItem(IDCANCEL, on);
    });
}

void CFWUpdateDlg::DisableCommands() {
    OnWindowThread([&] {
        Host().EnableItem(IDC_LIST_DESTINATION, false);
        Host().EnableItem(IDC_BTN_SEARCH, false);
        Host().EnableItem(IDC_BTN_UPDATE, false);
        Host().EnableItem(IDCANCEL, false);
    });
}

bool CFWUpdateDlg::AnySlotUpdating() {
    for (const DeviceSlot& slot : slots) {
        if (slot.updateRunning.load() != 0) return true;
    }
    return false;
}

void CFWUpdateDlg::SetDeviceName(std::wstring_view text) {
    OnWindowThread([&] { deviceName = text; });
}

void CFWUpdateDlg::SetInterfaceName(std::wstring_view text) {
    OnWindowThread([&] { interfaceName = text; });
}
