// The Windows side of the seam against the real system (run under Wine with a display):
// the parts whose faults the program's own tests would only show as hangs or wrong texts
// - a window thread that must keep serving workers while it waits, time limits across
// wake-ups, list texts longer than a first buffer, version texts without terminators.
// Prints one line per failed check and ends with exit code 1 when any failed.
#include "platform/win32/win32_platform.h"

#include <atomic>
#include <string>
#include <vector>

#include "resource.h"

namespace {

win32::Platform os;
int failures = 0;

// Output goes through the seam's own console writer, so the calling script also sees
// whether non-ASCII text reaches a redirect intact.
void Expect(bool ok, const std::wstring& what) {
    if (ok) return;
    ++failures;
    os.process().WriteConsole(L"FAIL " + what + L"\n");
}

std::wstring Text(std::span<const std::uint8_t> bytes) {
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// The text of one message id in a string-table block (16 length-prefixed entries).
std::wstring BlockEntry(std::span<const std::uint16_t> block, int position) {
    std::size_t at = 0;
    for (int i = 0; i < position && at < block.size(); ++i) at += 1 + block[at];
    if (at >= block.size()) return L"<missing>";
    return std::wstring(reinterpret_cast<const wchar_t*>(&block[at + 1]), block[at]);
}

void CheckThreads() {
    std::atomic<bool> release{false};
    platform::Handle thread = os.threads().CreateThread(
        [&] {
            while (!release) os.clock().SleepMs(5);
            return 42u;
        },
        nullptr);
    Expect(platform::IsValid(thread), L"CreateThread gives a handle");
    std::uint32_t code = 0;
    Expect(os.threads().WaitForThread(thread, 50) == platform::kWaitTimeout,
           L"a running thread's wait times out");
    Expect(os.threads().GetExitCodeThread(thread, &code) && code == platform::kStillActive,
           L"a running thread reports still active");
    release = true;
    Expect(os.threads().WaitForThread(thread, 10000) == platform::kWaitObject0,
           L"an ended thread's wait succeeds");
    Expect(os.threads().GetExitCodeThread(thread, &code) && code == 42,
           L"exit code is the body's result");
    os.CloseHandle(thread);
}

void CheckResources() {
    // Message 257 sits in block 17, position 1.
    Expect(BlockEntry(os.resources().FindStringBlock(17, platform::kLangEnglishUs), 1) ==
               L"Firmware Update Tool",
           L"English block 17 holds message 257");
    Expect(BlockEntry(os.resources().FindStringBlock(17, platform::kLangChineseTraditional), 1) ==
               L"\u97cc\u9ad4\u66f4\u65b0\u5de5\u5177",
           L"Traditional Chinese block 17 holds message 257 in Chinese");
    Expect(os.resources().FindStringBlock(17, 0x0411).empty(),
           L"a language without a table gives no block");
    // Not the neutral Chinese (Simplified) table the loader would fall back to.
    Expect(os.resources().FindStringBlock(17, 0x0C04).empty(),
           L"Chinese (Hong Kong), which has no table of its own, gives no block");
    Expect(os.resources().FindStringBlock(17, 0x040C).empty() &&
               !os.resources().FindStringBlock(17, 0x000C).empty(),
           L"French is found under its neutral language only");

    std::vector<std::uint8_t> info;
    Expect(os.resources().GetFileVersionInfo(os.process().ModulePath(), &info),
           L"own version information");
    std::span<const std::uint8_t> value;
    Expect(os.resources().VerQueryValue(info, L"\\StringFileInfo\\040904B0\\FileVersion", &value) &&
               Text(value) == L"0.3.61.0",
           L"FileVersion text without terminator, got '" + Text(value) + L"'");
    const std::vector<std::uint8_t> translation = {0x09, 0x04, 0xB0, 0x04};
    Expect(os.resources().VerQueryValue(info, L"\\VarFileInfo\\Translation", &value) &&
               std::vector<std::uint8_t>(value.begin(), value.end()) == translation,
           L"Translation is 0x0409, 1200");
    Expect(!os.resources().VerQueryValue(info, L"\\StringFileInfo\\040904B0\\NoSuchKey", &value),
           L"an unknown value is not found");
}

void CheckProcessAndKernel() {
    const std::wstring path = os.process().ModulePath();
    Expect(path.ends_with(L"\\win32_platform_test.exe"), L"module path, got " + path);

    const std::wstring ini = path.substr(0, path.rfind(L'\\')) + L"\\platform_test.ini";
    const std::string content = "[Development]\r\nLANG_ID=1028\r\n";
    HANDLE file = ::CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
    Expect(os.process().ReadProfileInt(L"Development", L"LANG_ID", 0, ini) == 1028,
           L"profile value read");
    Expect(os.process().ReadProfileInt(L"Development", L"SHOW_ALL_STRING", 7, ini) == 7,
           L"missing profile value gives the default");
    ::DeleteFileW(ini.c_str());

    const std::wstring name =
        L"Global\\FWUpdatePlatformTest" + std::to_wstring(::GetCurrentProcessId());
    platform::MutexOptions options;
    options.nullDacl = true;
    platform::Handle first = os.kernel().CreateMutex(name, options);
    Expect(platform::IsValid(first) && os.GetLastError() == platform::kErrorSuccess,
           L"a new mutex");
    platform::Handle second = os.kernel().CreateMutex(name, options);
    Expect(platform::IsValid(second) && os.GetLastError() == platform::kErrorAlreadyExists,
           L"the same name again reports that it exists");
    Expect(os.kernel().ReleaseMutex(first), L"the owner releases the mutex");
    os.CloseHandle(second);
    os.CloseHandle(first);

    Expect(os.stillImage().OpenDevice(L"\\\\.\\usbscan0") == platform::kInvalidHandle &&
               os.GetLastError() == platform::kErrorFileNotFound,
           L"no still-image device without a driver");
    // The wording is the system's own (Wine's differs from Windows'); its line end stays.
    const std::wstring text = os.stillImage().SystemErrorText(platform::kErrorFileNotFound);
    Expect(text.size() > 2 && text.ends_with(L"\r\n"),
           L"system text of error 2, got '" + text + L"'");
    Expect(os.stillImage().SystemErrorText(0x2FFFFFFF).empty(), L"no text for an unknown code");
    auto record = os.stillImage().CreateTransferRecord();
    Expect(record && platform::IsValid(record->Event()), L"a transfer record with its event");
}

// Wine's own imaging service "stisvc" (demand start) stands in for the real one.
void CheckServicesAndRegistry() {
    platform::ServiceManager& sc = os.services();
    platform::Handle manager = sc.OpenSCManager(platform::kScManagerAllAccess);
    platform::Handle service =
        manager ? sc.OpenService(manager, L"stisvc", platform::kServiceAllAccess) : nullptr;
    Expect(service != nullptr, L"stisvc opened");
    if (service == nullptr) return;

    platform::ServiceStatus status;
    Expect(sc.QueryServiceStatus(service, &status) && status.serviceType != 0 &&
               status.currentState >= platform::kServiceStopped &&
               status.currentState <= platform::kServiceRunning,
           L"service status read");

    auto startType = [&]() -> std::uint32_t {
        std::uint32_t needed = 0;
        if (sc.QueryServiceConfig(service, nullptr, 0, &needed) ||
            os.GetLastError() != platform::kErrorInsufficientBuffer || needed == 0) {
            return 0;
        }
        void* config = sc.Allocate(needed);
        std::uint32_t type = 0;
        if (config && sc.QueryServiceConfig(service, config, needed, &needed)) {
            type = sc.StartTypeOf(config);
        }
        sc.Free(config);
        return type;
    };
    const std::uint32_t original = startType();
    Expect(original == platform::kServiceDemandStart,
           L"configured start type, got " + std::to_wstring(original));
    Expect(sc.ChangeStartType(service, platform::kServiceDisabled) &&
               startType() == platform::kServiceDisabled,
           L"start type changed to disabled");
    Expect(!sc.StartService(service) && os.GetLastError() == platform::kErrorServiceDisabled,
           L"a disabled service does not start");
    Expect(sc.ChangeStartType(service, original) && startType() == original,
           L"start type restored");
    sc.CloseServiceHandle(service);
    sc.CloseServiceHandle(manager);

    const wchar_t* key = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
    std::vector<std::uint8_t> value(512, 0);
    Expect(os.deviceSetup().ReadMachineValue(key, L"CurrentVersion", value) && value[0] != 0,
           L"a machine registry value read");
    std::vector<std::uint8_t> tooSmall(2, 0xAB);
    Expect(!os.deviceSetup().ReadMachineValue(key, L"CurrentVersion", tooSmall) &&
               tooSmall == std::vector<std::uint8_t>(2, 0xAB),
           L"a value that does not fit fails and leaves the buffer as it was");
    Expect(!os.deviceSetup().ReadMachineValue(key, L"NoSuchValue", value),
           L"a missing value is not read");
    auto devices = os.deviceSetup().PresentImagingDevices();
    Expect(devices && !devices->HasDevice(0), L"an empty imaging device list");
}

// Runs the window checks from inside the dialog, on its thread, as the program does.
class WindowChecks final : public platform::DialogEvents {
  public:
    explicit WindowChecks(platform::DialogHost& host) : host_(host) {}

    void OnInitDialog() override {
        CheckTexts();
        CheckList();
        CheckInvokeWhileWaiting();
        CheckTimeLimitAcrossWakeUps();
        // A worker ends the window, as the program's cancel thread does.
        ender_ = os.threads().CreateThread(
            [this] {
                host_.EndDialog(7);
                return 0u;
            },
            nullptr);
    }
    void OnCommand(int) override {}

    platform::Handle ender_ = nullptr;

  private:
    void CheckTexts() {
        const std::wstring text = L"Line 1\nL\u00f3d\u017a \u4e2d\u6587";
        host_.SetItemText(IDC_STATIC_STATUS, text);
        Expect(host_.GetItemText(IDC_STATIC_STATUS) == text, L"label text round trip");
        host_.EnableItem(IDC_BTN_UPDATE, true);
        Expect(host_.IsItemEnabled(IDC_BTN_UPDATE), L"button enabled");
        host_.EnableItem(IDC_BTN_UPDATE, false);
        Expect(!host_.IsItemEnabled(IDC_BTN_UPDATE), L"button disabled");
        bool ran = false;
        host_.Invoke([&] { ran = true; });
        Expect(host_.IsWindowThread() && ran, L"Invoke on the window thread runs at once");
    }

    void CheckList() {
        const int list = IDC_LIST_DESTINATION;
        host_.ListInsertColumn(list, 0, L"DESTINATION", 120);
        host_.ListInsertColumn(list, 1, L"STATUS", 600);
        Expect(host_.ListInsertItem(list, 0, L"USB") == 0, L"first row at index 0");
        // Longer than the first buffer the host tries.
        const std::wstring status(1000, L'\u00e9');
        host_.ListSetItemText(list, 0, 1, status);
        Expect(host_.ListGetItemText(list, 0, 1) == status, L"long cell text round trip");
        Expect(host_.ListGetItemText(list, 0, 0) == L"USB", L"first cell text");
        host_.ListSetExtendedStyle(list, platform::kListGridLines | platform::kListCheckBoxes |
                                             platform::kListFullRowSelect);
        Expect(!host_.ListGetCheck(list, 0), L"a new row is not ticked");
        host_.ListSetCheck(list, 0, true);
        Expect(host_.ListGetCheck(list, 0), L"tick set");
        host_.ListSetCheck(list, 0, false);
        Expect(!host_.ListGetCheck(list, 0), L"tick cleared");
    }

    // A worker that needs the window thread while that thread waits for the worker.
    void CheckInvokeWhileWaiting() {
        platform::Handle worker = os.threads().CreateThread(
            [this] {
                host_.Invoke([this] { host_.SetItemText(IDC_STATIC_NAME, L"from worker"); });
                return 5u;
            },
            nullptr);
        Expect(host_.WaitForThreadPumping(worker, 10000) == platform::kWaitObject0,
               L"the waiting window thread serves the worker's Invoke");
        std::uint32_t code = 0;
        Expect(os.threads().GetExitCodeThread(worker, &code) && code == 5, L"worker finished");
        Expect(host_.GetItemText(IDC_STATIC_NAME) == L"from worker", L"worker's text shown");
        os.CloseHandle(worker);
    }

    // Each Invoke wakes the waiting thread; the limit still counts from the start.
    void CheckTimeLimitAcrossWakeUps() {
        std::atomic<bool> stop{false};
        platform::Handle worker = os.threads().CreateThread(
            [&] {
                const std::uint64_t end = os.clock().NowMs() + 20000;
                while (!stop && os.clock().NowMs() < end) {
                    host_.Invoke([] {});
                    os.clock().SleepMs(5);
                }
                return 0u;
            },
            nullptr);
        const std::uint64_t start = os.clock().NowMs();
        const std::uint32_t result = host_.WaitForThreadPumping(worker, 300);
        const std::uint64_t elapsed = os.clock().NowMs() - start;
        Expect(result == platform::kWaitTimeout && elapsed >= 300 && elapsed < 5000,
               L"300 ms limit kept while woken, took " + std::to_wstring(elapsed) + L" ms");
        stop = true;
        Expect(host_.WaitForThreadPumping(worker, 10000) == platform::kWaitObject0,
               L"the busy worker ends");
        os.CloseHandle(worker);
    }

    platform::DialogHost& host_;
};

void CheckWindow() {
    os.process().InitCommonControls();
    auto host = os.windowing().CreateDialogHost(IDD_FWUPDATE_DIALOG);
    WindowChecks checks(*host);
    Expect(host->RunModal(checks) == 7, L"EndDialog from a worker ends the window with its result");
    Expect(os.threads().WaitForThread(checks.ender_, 10000) == platform::kWaitObject0,
           L"the ending worker finished");
    os.CloseHandle(checks.ender_);
}

}  // namespace

int wmain() {
    CheckThreads();
    CheckResources();
    CheckProcessAndKernel();
    CheckServicesAndRegistry();
    CheckWindow();
    // The calling script looks for this line to see the redirect receive UTF-8.
    os.process().WriteConsole(L"done: \u0141\u00f3d\u017a \u4e2d\u6587\n");
    return failures == 0 ? 0 : 1;
}
