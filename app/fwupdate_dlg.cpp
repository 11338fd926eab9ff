#include "app/fwupdate_dlg.h"

#include <optional>

#include "app/load_text.h"
#include "app/settings.h"
#include "app/text_format.h"
#include "resource.h"
#include "service/service_thread.h"

namespace {
constexpr int kStatusColumn = 1;
constexpr int kShowAllStringMagic = 9999;
constexpr int kPlaceholderRows = 26;
}  // namespace

CFWUpdateDlg::CFWUpdateDlg() : appIcon(IDR_MAINFRAME) {
    deviceName = LoadText(246);
    interfaceName.clear();
    initialStatus = LoadText(248);
    for (auto& guard : busyGuard) guard.store(platform::kInvalidHandle);
}

CFWUpdateDlg::~CFWUpdateDlg() {
    // The owner has waited for the workers (WaitForWorkers); what is left are handles.
    WaitForWorkers(0);
}

int CFWUpdateDlg::DoModal() {
    host_ = platform::Get().windowing().CreateDialogHost(IDD_FWUPDATE_DIALOG);
    return host_->RunModal(*this);
}

platform::DialogHost& CFWUpdateDlg::Host() {
    return *host_;
}

void CFWUpdateDlg::OnWindowThread(const std::function<void()>& fn) {
    if (host_) host_->Invoke(fn);
}

std::uint32_t CFWUpdateDlg::WaitForThreadServingWindow(platform::Handle thread,
                                                       std::uint32_t timeoutMs) {
    return Host().WaitForThreadPumping(thread, timeoutMs);
}

void CFWUpdateDlg::KeepGivenUpWorker(platform::Handle thread) {
    std::lock_guard lock(givenUpMutex_);
    givenUp_.push_back(thread);
}

bool CFWUpdateDlg::WaitForWorkers(std::uint32_t limitMs) {
    std::optional<std::uint64_t> start;  // Set at the first handle: none, no platform call.
    bool allEnded = true;
    // Closes the thread's handle once it has ended; a thread still running keeps it.
    auto ended = [&](platform::Handle thread) {
        platform::Platform& os = platform::Get();
        if (!start) start = os.clock().NowMs();
        std::uint64_t spent = os.clock().NowMs() - *start;
        auto left = static_cast<std::uint32_t>(spent < limitMs ? limitMs - spent : 0);
        if (os.threads().WaitForThread(thread, left) != platform::kWaitObject0) {
            allEnded = false;
            return false;
        }
        os.CloseHandle(thread);
        return true;
    };
    auto field = [&](std::atomic<platform::Handle>& handle) {
        platform::Handle thread = handle.load();
        if (thread != nullptr && ended(thread)) handle.store(nullptr);
    };

    field(cancelThread);
    for (DeviceSlot& slot : slots) field(slot.updateThread);
    field(serviceThread);
    std::lock_guard lock(givenUpMutex_);
    std::erase_if(givenUp_, ended);
    return allEnded;
}

void CFWUpdateDlg::OnInitDialog() {
    platform::DialogHost& host = Host();
    std::wstring version = ReadFileVersion(platform::Get().process().ModulePath());
    std::wstring title = Format(LoadText(258), version);
    host.SetCaption(LoadText(257));
    host.SetItemText(IDC_STATIC_TITLE, title);
    host.SetIconResource(appIcon);

    host.ListInsertColumn(IDC_LIST_DESTINATION, 0, L"DESTINATION", 120);
    host.ListInsertColumn(IDC_LIST_DESTINATION, 1, L"STATUS", 600);
    host.ListSetExtendedStyle(IDC_LIST_DESTINATION,
                              platform::kListGridLines | platform::kListFullRowSelect);

    host.SetItemText(IDC_BTN_SEARCH, LoadText(262));
    host.SetItemText(IDC_BTN_UPDATE, LoadText(263));
    host.SetItemText(IDCANCEL, LoadText(264));

    if ((ReadShowAllStringSetting() & 0xFFFF) == kShowAllStringMagic) {
        for (int i = 0; i < kPlaceholderRows; ++i)
            host.ListInsertItem(IDC_LIST_DESTINATION, i, L"IP");
    }
    host.ListInsertItem(IDC_LIST_DESTINATION, 0, L"DESTINATION");
    host.ListSetItemText(IDC_LIST_DESTINATION, 0, 0, LoadText(265));
    host.ListSetItemText(IDC_LIST_DESTINATION, 0, kStatusColumn, L"");
    // Check boxes come after row 0 exists, so the row starts without the ready mark.
    host.ListSetExtendedStyle(IDC_LIST_DESTINATION, platform::kListGridLines |
                                                        platform::kListCheckBoxes |
                                                        platform::kListFullRowSelect);

    host.SetItemText(IDC_STATIC_STATUS, initialStatus);
    host.SetItemText(IDC_STATIC_NAME, deviceName);
    host.SetItemText(IDC_STATIC_INTERFACE, interfaceName);
    host.SetItemText(IDC_STATIC_NAME_CAPTION, LoadText(259));
    host.SetItemText(IDC_STATIC_INTERFACE_CAPTION, LoadText(260));
    host.SetItemText(IDC_STATIC_STATUS_CAPTION, LoadText(261));
    // The imaging service is stopped in the background from here on.
    if (serviceThread.load() == nullptr) StartServiceThread(*this, 1);
}

void CFWUpdateDlg::OnCommand(int id) {
    switch (id) {
        case IDC_BTN_SEARCH:
            OnSearchDevice();
            break;
        case IDC_BTN_UPDATE:
            OnUpdate();
            break;
        case IDCANCEL:
            OnClose();
            break;
        default:
            break;  // IDOK (Enter with no button focused) does nothing.
    }
}

void CFWUpdateDlg::EndDialog(int result) {
    if (host_) host_->EndDialog(result);
}
