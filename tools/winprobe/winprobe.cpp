// winprobe: sees and drives the windows of another running program, for tests under Wine.
//
//   winprobe wait   <caption> <timeout-ms>   a top-level window with the caption is shown
//                                            and its program waits for input
//   winprobe gone   <caption> <timeout-ms>   no top-level window with the caption is left
//   winprobe dump   <caption>                one line per child control:
//                                            id, class, enabled, visible, text (tab-separated)
//   winprobe click  <caption> <control-id>   clicks a button as the mouse would
//   winprobe list   <caption> <list-id>      one line per report-list row: row, checked, cells
//   winprobe msgbox <caption> <timeout-ms>   waits for a message box, prints its text and
//                                            whether it shows an icon, then presses OK
//
// Exit codes: 0 done, 1 window not found in time, 2 bad arguments, 3 control missing or
// disabled, 4 a system call failed. Text is printed as UTF-8 with \n, \r, \t and \\ escaped,
// so every control stays on one line.
#include <windows.h>
// The rest of the API needs <windows.h> first.
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

enum ExitCode { kDone = 0, kNotFound = 1, kUsage = 2, kNoControl = 3, kFailed = 4 };

constexpr UINT kSendTimeoutMs = 5000;
constexpr DWORD kPollMs = 50;

void Print(std::wstring_view text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring Escaped(std::wstring_view text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
            case L'\n':
                out += L"\\n";
                break;
            case L'\r':
                out += L"\\r";
                break;
            case L'\t':
                out += L"\\t";
                break;
            case L'\\':
                out += L"\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// WM_GETTEXT is copied across processes by the system, unlike most control messages.
std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length)) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
    text.resize(copied);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

struct Search {
    std::wstring caption;
    bool messageBoxOnly = false;
    HWND found = nullptr;
};

// A message box is a dialog (#32770) with its text in static control 0xFFFF.
bool IsMessageBox(HWND window) {
    return ClassOf(window) == L"#32770" && GetDlgItem(window, 0xFFFF) != nullptr;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (!IsWindowVisible(window) || TextOf(window) != search->caption) return TRUE;
    if (search->messageBoxOnly && !IsMessageBox(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindTopLevel(const std::wstring& caption, bool messageBoxOnly = false) {
    Search search{caption, messageBoxOnly};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopLevel(const std::wstring& caption, DWORD timeoutMs, bool messageBoxOnly = false) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND window = FindTopLevel(caption, messageBoxOnly)) return window;
        if (GetTickCount64() >= deadline) return nullptr;
        Sleep(kPollMs);
    }
}

int Wait(const std::wstring& caption, DWORD timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    HWND window = WaitForTopLevel(caption, timeoutMs);
    if (window == nullptr) return kNotFound;
    // Until its thread first waits for input with an empty queue, the window may not have
    // painted yet; a screenshot taken next should show it whole.
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid)) {
        const ULONGLONG spent = GetTickCount64() - start;
        WaitForInputIdle(process, spent < timeoutMs ? static_cast<DWORD>(timeoutMs - spent) : 0);
        CloseHandle(process);
    }
    return kDone;
}

int Gone(const std::wstring& caption, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (FindTopLevel(caption) != nullptr) {
        if (GetTickCount64() >= deadline) return kNotFound;
        Sleep(kPollMs);
    }
    return kDone;
}

int Dump(const std::wstring& caption) {
    HWND window = FindTopLevel(caption);
    if (window == nullptr) return kNotFound;
    // Direct children in z-order, which for a dialog is its tab order.
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        Print(std::to_wstring(GetDlgCtrlID(child)) + L"\t" + ClassOf(child) + L"\t" +
              (IsWindowEnabled(child) ? L"1" : L"0") + L"\t" +
              ((style & WS_VISIBLE) ? L"1" : L"0") + L"\t" + Escaped(TextOf(child)) + L"\n");
    }
    return kDone;
}

int Click(const std::wstring& caption, int id) {
    HWND window = FindTopLevel(caption);
    if (window == nullptr) return kNotFound;
    HWND button = GetDlgItem(window, id);
    // A disabled button ignores the mouse; so does this click.
    if (button == nullptr || !IsWindowEnabled(button)) return kNoControl;
    // Posted: the click's handler may open a modal box that would hold a sent message.
    return PostMessageW(button, BM_CLICK, 0, 0) ? kDone : kFailed;
}

// The command of a control sent to its window as the control would send it, whatever the
// control's state: how another program (or a test) reaches a handler past a disabled button.
int Command(const std::wstring& caption, int id) {
    HWND window = FindTopLevel(caption);
    if (window == nullptr) return kNotFound;
    HWND control = GetDlgItem(window, id);
    if (control == nullptr) return kNoControl;
    return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(control))
               ? kDone
               : kFailed;
}

// Report-list messages carry pointers, which the system does not copy across processes:
// the item record and its text buffer are placed in the list's own process.
class RemoteBuffer {
  public:
    RemoteBuffer(HWND window, SIZE_T size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_ != nullptr) {
            address_ =
                VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        }
    }
    ~RemoteBuffer() {
        if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_ != nullptr) CloseHandle(process_);
    }
    bool ok() const { return address_ != nullptr; }
    char* address() const { return static_cast<char*>(address_); }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) {
        return WriteProcessMemory(process_, address() + offset, data, size, nullptr);
    }
    bool Read(SIZE_T offset, void* data, SIZE_T size) {
        return ReadProcessMemory(process_, address() + offset, data, size, nullptr);
    }

  private:
    SIZE_T size_;
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

// Ticks the check box of the list's first row, as a click on it would.
int Tick(const std::wstring& caption, int id) {
    HWND window = FindTopLevel(caption);
    if (window == nullptr) return kNotFound;
    HWND list = GetDlgItem(window, id);
    if (list == nullptr) return kNoControl;
    RemoteBuffer remote(list, sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(2);
    DWORD_PTR result = 0;
    if (!remote.ok() || !remote.Write(0, &item, sizeof(item)) ||
        !SendMessageTimeoutW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(remote.address()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
        return kFailed;
    }
    return result ? kDone : kFailed;
}

int List(const std::wstring& caption, int id) {
    HWND window = FindTopLevel(caption);
    if (window == nullptr) return kNotFound;
    HWND list = GetDlgItem(window, id);
    if (list == nullptr) return kNoControl;
    constexpr int kTextChars = 1024;
    RemoteBuffer remote(list, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
    if (!remote.ok()) return kFailed;

    const auto rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const auto columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        // State image 2 is the ticked check box.
        const auto state = SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
        std::wstring line = std::to_wstring(row) + L"\t" + ((state >> 12) == 2 ? L"1" : L"0");
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = reinterpret_cast<wchar_t*>(remote.address() + sizeof(LVITEMW));
            item.cchTextMax = kTextChars;
            std::wstring text(kTextChars, L'\0');
            DWORD_PTR copied = 0;
            if (!remote.Write(0, &item, sizeof(item)) ||
                !SendMessageTimeoutW(list, LVM_GETITEMTEXTW, row,
                                     reinterpret_cast<LPARAM>(remote.address()), SMTO_ABORTIFHUNG,
                                     kSendTimeoutMs, &copied) ||
                !remote.Read(sizeof(LVITEMW), text.data(), copied * sizeof(wchar_t))) {
                return kFailed;
            }
            text.resize(copied);
            line += L"\t" + Escaped(text);
        }
        Print(line + L"\n");
    }
    return kDone;
}

bool ShowsIcon(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON && (style & WS_VISIBLE) &&
            SendMessageW(child, STM_GETICON, 0, 0) != 0) {
            return true;
        }
    }
    return false;
}

int MessageBoxText(const std::wstring& caption, DWORD timeoutMs) {
    HWND box = WaitForTopLevel(caption, timeoutMs, true);
    if (box == nullptr) return kNotFound;
    Print(Escaped(TextOf(GetDlgItem(box, 0xFFFF))) + L"\n");
    Print(std::wstring(L"icon\t") + (ShowsIcon(box) ? L"1" : L"0") + L"\n");
    if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)))) {
        return kFailed;
    }
    // Done only when the box has gone, so the caller sees what follows the OK.
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsWindow(box)) {
        if (GetTickCount64() >= deadline) return kNotFound;
        Sleep(kPollMs);
    }
    return kDone;
}

bool ParseNumber(const wchar_t* text, unsigned long* value) {
    wchar_t* end = nullptr;
    *value = std::wcstoul(text, &end, 0);
    return end != text && *end == L'\0';
}

int Usage() {
    Print(
        L"usage: winprobe wait|gone|msgbox <caption> <timeout-ms>\n"
        L"       winprobe dump <caption>\n"
        L"       winprobe click|command|tick|list <caption> <control-id>\n");
    return kUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return Usage();
    const std::wstring command = argv[1];
    const std::wstring caption = argv[2];
    if (command == L"dump" && argc == 3) return Dump(caption);
    unsigned long number = 0;
    if (argc != 4 || !ParseNumber(argv[3], &number)) return Usage();
    if (command == L"wait") return Wait(caption, number);
    if (command == L"gone") return Gone(caption, number);
    if (command == L"msgbox") return MessageBoxText(caption, number);
    if (command == L"click") return Click(caption, static_cast<int>(number));
    if (command == L"command") return Command(caption, static_cast<int>(number));
    if (command == L"tick") return Tick(caption, static_cast<int>(number));
    if (command == L"list") return List(caption, static_cast<int>(number));
    return Usage();
}
