// Stops a worker thread at its k-th step (a call into the platform or a window operation)
// so that a test can act on the window at exactly that moment, then lets it go on. Also
// keeps the order in which the platform's threads were started and ended.
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
    // makes the k-th step of its life (k counts from 1). One hold at a time; re-arming
    // replaces it.
    void Arm(std::uint64_t ordinal, std::uint64_t k);
    // Waits until the armed thread is held (true), has ended without reaching its k-th
    // step, or `limit` of real time has passed (false).
    bool WaitHeld(std::chrono::milliseconds limit);
    bool Ended(std::uint64_t ordinal);
    // What the held thread was about to do.
    std::string HeldAt();
    void Release();

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
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t started_ = 0;
    std::uint64_t ordinal_ = 0;
    std::uint64_t k_ = 0;
    std::map<std::uint64_t, std::uint64_t> steps_;
    bool held_ = false;
    bool released_ = false;
    std::set<std::uint64_t> ended_;
    std::string heldAt_;
};

}  // namespace standin
