#include "device/busy_locks.h"

#include "app/fwupdate_dlg.h"
#include "app/load_text.h"

bool CFWUpdateDlg::AcquireBusyLock(int kind) {
    std::wstring name;
    switch (kind) {
        case BUSY_LOCK_SCAN_APP:
            name = SCAN_APP_MUTEX_PREFIX + FriendlyName();
            break;
        case BUSY_LOCK_OSTRA:
            name = OSTRA_MUTEX_NAME;
            break;
        case BUSY_LOCK_VANTOR:
            name = VANTOR_MUTEX_PREFIX + FriendlyName();
            break;
        default:
            return false;
    }
    // A name that would not fit is not cut to one that belongs to another scanner.
    if (name.size() > BUSY_LOCK_NAME_MAX) return false;

    platform::Platform& os = platform::Get();
    platform::MutexOptions options;
    options.initialOwner = true;
    options.nullDacl = true;
    options.inheritHandle = true;
    for (int attempt = 0; attempt < BUSY_LOCK_ATTEMPTS; ++attempt) {
        platform::Handle mutex = os.kernel().CreateMutex(name, options);
        bool obtained = mutex != nullptr && os.GetLastError() != platform::kErrorAlreadyExists;
        if (obtained) {
            platform::Handle old = busyGuard[kind].exchange(mutex);
            if (platform::IsValid(old)) {
                os.kernel().ReleaseMutex(old);
                os.CloseHandle(old);
            }
            return true;
        }
        // Keep no handle to a name someone else holds: it would keep the name alive.
        if (mutex != nullptr) os.CloseHandle(mutex);
        os.clock().SleepMs(BUSY_LOCK_RETRY_MS);
    }
    return false;
}

bool CFWUpdateDlg::LockScanApplications() {
    auto fail = [&](int textId) {
        ShowRowStatus(0, LoadText(textId));
        return false;
    };
    if (!FindDeviceFriendlyName()) return fail(240);
    if (!AcquireBusyLock(BUSY_LOCK_SCAN_APP)) return fail(239);
    if (!AcquireBusyLock(BUSY_LOCK_OSTRA)) return fail(241);
    if (!HasVantorLock() && !AcquireBusyLock(BUSY_LOCK_VANTOR)) return fail(247);
    return true;
}

void CFWUpdateDlg::ReleaseBusyLocks() {
    platform::Platform& os = platform::Get();
    for (auto& slot : busyGuard) {
        platform::Handle mutex = slot.exchange(platform::kInvalidHandle);
        if (!platform::IsValid(mutex)) continue;
        // The handle is closed even when the ownership cannot be given back (another
        // thread created it): the name lives exactly as long as a handle to it.
        os.kernel().ReleaseMutex(mutex);
        os.CloseHandle(mutex);
    }
}

bool CFWUpdateDlg::HasVantorLock() {
    return platform::IsValid(busyGuard[BUSY_LOCK_VANTOR].load());
}
