#include "platform/win32/threads.h"

#include <memory>

#include "platform/win32/windows_api.h"

namespace win32 {

namespace {

// The new thread owns the body; its return value becomes the thread's exit code.
DWORD WINAPI RunBody(void* param) {
    std::unique_ptr<std::function<std::uint32_t()>> body(
        static_cast<std::function<std::uint32_t()>*>(param));
    return (*body)();
}

}  // namespace

platform::Handle Threads::CreateThread(std::function<std::uint32_t()> body,
                                       platform::ThreadId* id) {
    auto owned = std::make_unique<std::function<std::uint32_t()>>(std::move(body));
    DWORD threadId = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, RunBody, owned.get(), 0, &threadId);
    if (thread == nullptr) return nullptr;  // The body was not handed over: still ours.
    owned.release();
    if (id != nullptr) *id = threadId;
    return thread;
}

std::uint32_t Threads::WaitForThread(platform::Handle thread, std::uint32_t timeoutMs) {
    return ::WaitForSingleObject(thread, timeoutMs);
}

bool Threads::GetExitCodeThread(platform::Handle thread, std::uint32_t* code) {
    DWORD exitCode = 0;
    if (!::GetExitCodeThread(thread, &exitCode)) return false;
    *code = exitCode;
    return true;
}

}  // namespace win32
