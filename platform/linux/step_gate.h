// Stops a worker thread at a chosen step (a call into the platform or a window operation)
// so that a test can act on the window at exactly that moment, then lets it go on. Each
// thread may have a hold of its own. Also keeps which of the platform's threads started
// and ended.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace standin {

class StepGate {
  public:
    // Holds thread number `ordinal` (the first thread the platform starts is 1) when it
    // makes the k-th step of its life (k counts from 1), or its `occurrence`-th step named
    // `what`. Replaces an earlier hold of that thread.
    void Arm(std::uint64_t ordinal, std::uint64_t k);
    void ArmNamed(std::uint64_t ordinal, std::string what, std::uint64_t occurrence = 1);
    // Waits until the thread is held (true), has ended without reaching its step, or
    // `limit` of real time has passed (false).
    bool WaitHeld(std::uint64_t ordinal, std::chrono::milliseconds limit);
    bool Ended(std::uint64_t ordinal);
    // What the held thread was about to do.
    std::string HeldAt(std::uint64_t ordinal);
    void Release(std::uint64_t ordinal);

    // Called by the platform on every step of the calling thread.
    void Step(std::string_view what);
    // Called by the platform's threads: a new thread's number, given when it is created;
    // the calling thread is that thread and starts; the calling thread has ended.
    std::uint64_t NextOrdinal();
    void ThreadStarted(std::uint64_t ordinal);
    void ThreadEnded();
    // Threads started so far, and the steps one of them made.
    std::uint64_t Started();
    std::uint64_t StepsOf(std::uint64_t ordinal);

  private:
    struct Hold {
        std::uint64_t k = 0;  // by number, when not 0
        std::string what;     // else by name...
        std::uint64_t occurrence = 0;
        std::uint64_t seen = 0;  // ...counting the steps of that name
        bool held = false;
        bool released = false;
        std::string at;
    };

    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t started_ = 0;
    std::map<std::uint64_t, std::uint64_t> steps_;
    std::map<std::uint64_t, Hold> holds_;
    std::set<std::uint64_t> ended_;
};

}  // namespace standin
