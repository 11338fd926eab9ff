// Worker threads with Windows semantics: a handle, an exit code, timed waits.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/types.h"

namespace platform {

class Threads {
  public:
    virtual ~Threads() = default;
    // Starts body at once on a new thread. Returns null (and sets the last error) on
    // failure. The handle stays valid until CloseHandle, also after the thread ended.
    virtual Handle CreateThread(std::function<std::uint32_t()> body, ThreadId* id) = 0;
    // kWaitObject0 when the thread has ended, kWaitTimeout, or kWaitFailed.
    virtual std::uint32_t WaitForThread(Handle thread, std::uint32_t timeoutMs) = 0;
    // kStillActive while the thread runs.
    virtual bool GetExitCodeThread(Handle thread, std::uint32_t* code) = 0;
};

}  // namespace platform
