#include "platform/win32/dialog_host.h"

namespace win32 {

namespace {

// Private messages of the dialog: run a function (lParam) on the window's thread; end the
// dialog with the result in wParam.
constexpr UINT kInvokeMessage = WM_APP + 1;
constexpr UINT kEndMessage = WM_APP + 2;

// The hidden report list; the window answers its item-changed notifications itself.
constexpr int kDestinationList = 1025;

// The template has no position of its own (0, 0); like the usual application frameworks,
// show the window in the middle of the screen it is on.
void CenterOnWorkArea(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
    RECT frame;
    ::GetWindowRect(window, &frame);
    const RECT& area = monitor.rcWork;
    const int x = area.left + (area.right - area.left - (frame.right - frame.left)) / 2;
    const int y = area.top + (area.bottom - area.top - (frame.bottom - frame.top)) / 2;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

DialogHost::DialogHost(int templateId)
    : templateId_(templateId), windowThread_(::GetCurrentThreadId()) {}

DialogHost::~DialogHost() {
    if (bigIcon_ != nullptr) ::DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) ::DestroyIcon(smallIcon_);
}

int DialogHost::RunModal(platform::DialogEvents& events) {
    events_ = &events;
    const INT_PTR result =
        ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), nullptr,
                          DialogProc, reinterpret_cast<LPARAM>(this));
    window_.store(nullptr);
    events_ = nullptr;
    return static_cast<int>(result);
}

INT_PTR CALLBACK DialogHost::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<DialogHost*>(lParam)->window_.store(window);
    }
    auto* self = reinterpret_cast<DialogHost*>(::GetWindowLongPtrW(window, DWLP_USER));
    // Messages that arrive before WM_INITDIALOG (WM_SETFONT) get the default handling.
    if (self == nullptr) return FALSE;
    return self->HandleMessage(message, wParam, lParam);
}

INT_PTR DialogHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.load();
    switch (message) {
        case WM_INITDIALOG:
            events_->OnInitDialog();
            CenterOnWorkArea(window);
            return TRUE;  // The dialog manager focuses the first tab stop.
        case WM_COMMAND:
            // Button clicks, and IDOK / IDCANCEL from the keyboard, all come as BN_CLICKED.
            if (HIWORD(wParam) == BN_CLICKED) events_->OnCommand(LOWORD(wParam));
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == kDestinationList && header->code == LVN_ITEMCHANGED) {
                ::SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
                return TRUE;
            }
            return FALSE;
        }
        case WM_PAINT:
            if (!::IsIconic(window)) return FALSE;
            PaintMinimised();
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(bigIcon_);
        case kInvokeMessage:
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return TRUE;
        case kEndMessage:
            ::EndDialog(window, static_cast<INT_PTR>(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

void DialogHost::PaintMinimised() {
    HWND window = window_.load();
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    ::SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(window, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, bigIcon_);
    ::EndPaint(window, &paint);
}

void DialogHost::EndDialog(int result) {
    HWND window = window_.load();
    if (window == nullptr) return;
    if (IsWindowThread()) {
        ::EndDialog(window, result);
    } else {
        // Posted, not sent: the asking worker never waits for a window thread that may
        // itself be waiting for that worker.
        ::PostMessageW(window, kEndMessage, static_cast<WPARAM>(result), 0);
    }
}

void DialogHost::Invoke(const std::function<void()>& fn) {
    if (IsWindowThread()) {
        fn();
        return;
    }
    // Sent, so the caller returns only after the window's thread has run fn; the window
    // thread serves sent messages in the dialog loop, in message boxes and while it waits
    // for a thread (WaitForThreadPumping). Without a window (before RunModal has created
    // it or after it ended) nothing runs.
    ::SendMessageW(window_.load(), kInvokeMessage, 0, reinterpret_cast<LPARAM>(&fn));
}

bool DialogHost::IsWindowThread() {
    return ::GetCurrentThreadId() == windowThread_;
}

std::uint32_t DialogHost::WaitForThreadPumping(platform::Handle thread, std::uint32_t timeoutMs) {
    HANDLE handle = thread;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG now = ::GetTickCount64();
            remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        }
        const DWORD result = ::MsgWaitForMultipleObjectsEx(1, &handle, remaining, QS_SENDMESSAGE,
                                                           MWMO_INPUTAVAILABLE);
        if (result != WAIT_OBJECT_0 + 1) return result;
        // Peeking runs the messages other threads have sent to this one (their Invoke
        // calls) and leaves posted ones for the dialog loop.
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void DialogHost::SetCaption(std::wstring_view text) {
    ::SetWindowTextW(window_.load(), Terminated(text).c_str());
}

void DialogHost::SetIconResource(int iconId) {
    HINSTANCE module = ::GetModuleHandleW(nullptr);
    HWND window = window_.load();
    auto load = [&](int widthMetric, int heightMetric) {
        return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                               ::GetSystemMetrics(widthMetric),
                                               ::GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
    };
    HICON big = load(SM_CXICON, SM_CYICON);
    HICON small = load(SM_CXSMICON, SM_CYSMICON);
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    // The window holds the new icons now; the old ones may go.
    if (bigIcon_ != nullptr) ::DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) ::DestroyIcon(smallIcon_);
    bigIcon_ = big;
    smallIcon_ = small;
}

void DialogHost::SetItemText(int id, std::wstring_view text) {
    ::SetDlgItemTextW(window_.load(), id, Terminated(text).c_str());
}

std::wstring DialogHost::GetItemText(int id) {
    HWND item = ::GetDlgItem(window_.load(), id);
    if (item == nullptr) return {};
    std::wstring text(::GetWindowTextLengthW(item) + 1, L'\0');
    text.resize(::GetWindowTextW(item, text.data(), static_cast<int>(text.size())));
    return text;
}

void DialogHost::EnableItem(int id, bool enable) {
    ::EnableWindow(::GetDlgItem(window_.load(), id), enable ? TRUE : FALSE);
}

bool DialogHost::IsItemEnabled(int id) {
    return ::IsWindowEnabled(::GetDlgItem(window_.load(), id)) != FALSE;
}

LRESULT DialogHost::SendToList(int listId, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendDlgItemMessageW(window_.load(), listId, message, wParam, lParam);
}

void DialogHost::ListInsertColumn(int listId, int column, std::wstring_view heading, int widthPx) {
    std::wstring text = Terminated(heading);
    LVCOLUMNW col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = widthPx;
    col.pszText = text.data();
    col.iSubItem = column;
    SendToList(listId, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&col));
}

int DialogHost::ListInsertItem(int listId, int index, std::wstring_view text) {
    std::wstring terminated = Terminated(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = terminated.data();
    return static_cast<int>(
        SendToList(listId, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void DialogHost::ListSetItemText(int listId, int row, int column, std::wstring_view text) {
    std::wstring terminated = Terminated(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = terminated.data();
    SendToList(listId, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

std::wstring DialogHost::ListGetItemText(int listId, int row, int column) {
    // The message reports only how much it copied: grow until the text fits with room to
    // spare.
    for (std::size_t size = 256;; size *= 2) {
        std::wstring text(size, L'\0');
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(size);
        const auto copied = static_cast<std::size_t>(
            SendToList(listId, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
        if (copied + 1 < size) {
            text.resize(copied);
            return text;
        }
    }
}

void DialogHost::ListSetExtendedStyle(int listId, std::uint32_t style) {
    SendToList(listId, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style);
}

void DialogHost::ListSetCheck(int listId, int row, bool checked) {
    ListView_SetCheckState(::GetDlgItem(window_.load(), listId), row, checked ? TRUE : FALSE);
}

bool DialogHost::ListGetCheck(int listId, int row) {
    return ListView_GetCheckState(::GetDlgItem(window_.load(), listId), row) == 1;
}

void DialogHost::MessageBox(std::wstring_view text, std::wstring_view caption) {
    const std::wstring t = Terminated(text), c = Terminated(caption);
    ::MessageBoxW(window_.load(), t.c_str(), c.c_str(), MB_OK);
}

std::shared_ptr<platform::DialogHost> Windowing::CreateDialogHost(int templateId) {
    return std::make_shared<DialogHost>(templateId);
}

}  // namespace win32
