// Worker threads as Windows threads: the handle is the thread's own kernel handle.
#pragma once

#include "platform/threads.h"

namespace win32 {

class Threads final : public platform::Threads {
  public:
    platform::Handle CreateThread(std::function<std::uint32_t()> body,
                                  platform::ThreadId* id) override;
    std::uint32_t WaitForThread(platform::Handle thread, std::uint32_t timeoutMs) override;
    bool GetExitCodeThread(platform::Handle thread, std::uint32_t* code) override;
};

}  // namespace win32
