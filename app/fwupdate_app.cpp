#include "app/fwupdate_app.h"

#include <memory>

#include "app/fwupdate_dlg.h"
#include "app/load_text.h"
#include "app/settings.h"
#include "platform/platform.h"

namespace {
constexpr wchar_t kSingleInstanceMutex[] = L"Global\\NORVIK_ZELT_APP_MUTEX";
// How long the program waits, after its window has ended, for workers the cancel
// procedure gave up on. They have already had 100 s (an update) or about 200 s (the
// service thread) under Closing; the longest bounded step left to them is a service stop
// or start, each limited to 60 s. A thread still running after that is stuck in a
// request that no waiting will end.
constexpr std::uint32_t kWorkerEndLimitMs = 60000;
// A window object a worker still uses when the program ends: never destroyed.
CFWUpdateDlg* leftToTheProcess = nullptr;
}  // namespace

bool CFWUpdateApp::InitInstance() {
    platform::Platform& os = platform::Get();
    os.process().InitCommonControls();
    os.process().RegisterRestart();
    ApplyLanguageSetting();

    // A plain, case-sensitive substring test over the whole command line, program path
    // included: a folder named "fw-dump" opens the console too.
    std::wstring commandLine = os.process().CommandLine().substr(0, 259);
    if (commandLine.find(L"-d") != std::wstring::npos) os.process().OpenConsole();

    platform::MutexOptions options;
    options.initialOwner = true;
    platform::Handle instance = os.kernel().CreateMutex(kSingleInstanceMutex, options);
    if (instance == nullptr || os.GetLastError() == platform::kErrorAlreadyExists) {
        os.process().ShowMessageBox(LoadText(256), ProgramName(),
                                    platform::MessageBoxIcon::kExclamation);
        if (instance != nullptr) os.CloseHandle(instance);
        return false;
    }

    auto dialog = std::make_unique<CFWUpdateDlg>();
    dialog->DoModal();
    // No worker outlives the window object, and a new copy of the tool can start only
    // when none of this one's workers is left.
    bool workersEnded = dialog->WaitForWorkers(kWorkerEndLimitMs);
    os.CloseHandle(instance);
    if (workersEnded) {
        dialog.reset();
    } else {
        leftToTheProcess = dialog.release();
    }
    return false;
}
