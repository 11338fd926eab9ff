#include "app/fwupdate_app.h"

#include <memory>

#include "app/fwupdate_dlg.h"
#include "app/load_text.h"
#include "app/settings.h"
#include "platform/platform.h"

namespace {
constexpr wchar_t kSingleInstanceMutex[] = L"Global\\NORVIK_ZELT_APP_MUTEX";
}

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
    os.CloseHandle(instance);
    dialog.reset();
    return false;
}
