// Clocks of the stand-in platform. The real clock may run faster than wall time (the
// demo); the virtual clock moves only when someone sleeps or a timed wait runs out, so
// tests cross minutes of device time in milliseconds.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/clock.h"

namespace standin {

class Clock : public platform::Clock {
  public:
    // Waits until ready() holds or timeoutMs of this clock's time have passed; returns
    // ready(). The lock guards what ready() reads and is held on return.
    virtual bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                           const std::function<bool()>& ready, std::uint32_t timeoutMs) = 0;
};

class ScaledRealClock : public Clock {
  public:
    // speed 1 is wall time; speed 10 makes a 1000 ms sleep take 100 ms.
    explicit ScaledRealClock(double speed = 1.0);
    std::uint64_t NowMs() override;
    void SleepMs(std::uint32_t ms) override;
    bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   const std::function<bool()>& ready, std::uint32_t timeoutMs) override;

  private:
    std::chrono::nanoseconds Real(std::uint32_t ms) const;
    double speed_;
    std::chrono::steady_clock::time_point start_;
};

class VirtualClock : public Clock {
  public:
    // How long a timed wait watches in real time for its object before it lets the
    // virtual time run out. Objects that are about to be signalled make it in time; one
    // that is waited on in vain costs this much real time per wait.
    explicit VirtualClock(std::chrono::milliseconds realGrace = std::chrono::milliseconds(200));
    std::uint64_t NowMs() override;
    void SleepMs(std::uint32_t ms) override;
    bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   const std::function<bool()>& ready, std::uint32_t timeoutMs) override;
    void Advance(std::uint64_t ms);
    // Tells whether a thread other than the caller may be waiting for its turn; a sleep
    // gives up the processor only then. Set once, before any thread sleeps.
    void SetOthersRunning(std::function<bool()> othersRunning);

  private:
    std::atomic<std::uint64_t> now_{1000};
    std::function<bool()> othersRunning_;
    std::chrono::milliseconds realGrace_;
};

}  // namespace standin
