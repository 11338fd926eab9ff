#include "platform/win32/win32_platform.h"

namespace win32 {

std::uint32_t Platform::GetLastError() {
    return ::GetLastError();
}

void Platform::SetLastError(std::uint32_t code) {
    ::SetLastError(code);
}

bool Platform::CloseHandle(platform::Handle handle) {
    return ::CloseHandle(handle) != FALSE;
}

}  // namespace win32
