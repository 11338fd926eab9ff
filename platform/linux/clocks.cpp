#include "platform/linux/clocks.h"

#include <algorithm>
#include <thread>

namespace standin {

ScaledRealClock::ScaledRealClock(double speed)
    : speed_(speed > 0 ? speed : 1.0), start_(std::chrono::steady_clock::now()) {}

std::uint64_t ScaledRealClock::NowMs() {
    auto elapsed = std::chrono::steady_clock::now() - start_;
    double ms = std::chrono::duration<double, std::milli>(elapsed).count() * speed_;
    return static_cast<std::uint64_t>(ms);
}

std::chrono::nanoseconds ScaledRealClock::Real(std::uint32_t ms) const {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(ms * 1e6 / speed_));
}

void ScaledRealClock::SleepMs(std::uint32_t ms) {
    std::this_thread::sleep_for(Real(ms));
}

bool ScaledRealClock::WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                                const std::function<bool()>& ready, std::uint32_t timeoutMs) {
    return cv.wait_for(lock, Real(timeoutMs), ready);
}

VirtualClock::VirtualClock(std::chrono::milliseconds realGrace) : realGrace_(realGrace) {}

std::uint64_t VirtualClock::NowMs() {
    return now_.load();
}

void VirtualClock::SleepMs(std::uint32_t ms) {
    now_.fetch_add(ms);
    // A sleeping thread still gives up the processor for a moment (a microsecond per
    // virtual millisecond): a poll loop must not run through its whole time limit while
    // the thread it waits for has had no chance to work. With no such thread there is
    // nobody to give it to.
    if (othersRunning_ && !othersRunning_()) return;
    std::this_thread::sleep_for(std::chrono::microseconds(std::min<std::uint32_t>(ms, 60000)));
}

void VirtualClock::SetOthersRunning(std::function<bool()> othersRunning) {
    othersRunning_ = std::move(othersRunning);
}

void VirtualClock::Advance(std::uint64_t ms) {
    now_.fetch_add(ms);
}

bool VirtualClock::WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                             const std::function<bool()>& ready, std::uint32_t timeoutMs) {
    if (ready()) return true;
    if (timeoutMs == 0) return false;
    if (cv.wait_for(lock, realGrace_, ready)) return true;
    now_.fetch_add(timeoutMs);
    return ready();
}

}  // namespace standin
