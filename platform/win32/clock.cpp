#include "platform/win32/clock.h"

#include "platform/win32/windows_api.h"

namespace win32 {

std::uint64_t Clock::NowMs() {
    return ::GetTickCount64();
}

void Clock::SleepMs(std::uint32_t ms) {
    ::Sleep(ms);
}

}  // namespace win32
