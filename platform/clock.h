// Monotonic time and sleeping. Every wait of the program goes through here, so tests
// can run long time limits on a virtual clock.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes backwards and never wraps.
    virtual std::uint64_t NowMs() = 0;
    virtual void SleepMs(std::uint32_t ms) = 0;
};

}  // namespace platform
