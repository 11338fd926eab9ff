// Monotonic milliseconds and sleeping on the real system clock.
#pragma once

#include "platform/clock.h"

namespace win32 {

class Clock final : public platform::Clock {
  public:
    std::uint64_t NowMs() override;
    void SleepMs(std::uint32_t ms) override;
};

}  // namespace win32
