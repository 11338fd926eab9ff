// Worker threads of the stand-in platform, waited for on the platform's clock.
#pragma once

#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

#include "platform/linux/clocks.h"
#include "platform/linux/fault_plan.h"
#include "platform/linux/handle_table.h"
#include "platform/linux/step_gate.h"
#include "platform/threads.h"

namespace standin {

class ThreadObject : public KernelObject {
  public:
    ObjectKind kind() const override { return ObjectKind::kThread; }
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::uint32_t exitCode = platform::kStillActive;
};

class Threads : public platform::Threads {
  public:
    Threads(HandleTable& handles, Clock& clock, FaultPlan& faults, StepGate& gate);
    // Joins every thread that was started, so nothing outlives the platform.
    ~Threads() override;

    platform::Handle CreateThread(std::function<std::uint32_t()> body,
                                  platform::ThreadId* id) override;
    std::uint32_t WaitForThread(platform::Handle thread, std::uint32_t timeoutMs) override;
    bool GetExitCodeThread(platform::Handle thread, std::uint32_t* code) override;

    StepGate& Gate() { return gate_; }
    // Threads started and not yet ended.
    std::size_t Running();
    // Whether a thread started here, other than the caller, has not ended yet.
    bool OthersRunning();
    // Waits in real time until every started thread has ended.
    void JoinAll();

  private:
    HandleTable& handles_;
    Clock& clock_;
    FaultPlan& faults_;
    StepGate& gate_;
    std::mutex mutex_;
    std::list<std::pair<std::shared_ptr<ThreadObject>, std::thread>> threads_;
    platform::ThreadId nextId_ = 1000;
};

}  // namespace standin
