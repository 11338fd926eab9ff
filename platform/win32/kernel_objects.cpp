#include "platform/win32/kernel_objects.h"

#include "platform/win32/windows_api.h"

namespace win32 {

platform::Handle KernelObjects::CreateMutex(std::wstring_view name,
                                            const platform::MutexOptions& options) {
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.bInheritHandle = options.inheritHandle ? TRUE : FALSE;
    if (options.nullDacl) {
        // A present but empty (null) access list grants everyone access, so a copy
        // started by another user still finds the mutex instead of failing to open it.
        if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
            return nullptr;
        }
        attributes.lpSecurityDescriptor = &descriptor;
    }
    const std::wstring terminated = Terminated(name);
    return ::CreateMutexW(&attributes, options.initialOwner ? TRUE : FALSE, terminated.c_str());
}

bool KernelObjects::ReleaseMutex(platform::Handle mutex) {
    return ::ReleaseMutex(mutex) != FALSE;
}

}  // namespace win32
