#include "platform/linux/threads.h"

#include "platform/linux/last_error.h"

namespace standin {

Threads::Threads(HandleTable& handles, Clock& clock, FaultPlan& faults, StepGate& gate)
    : handles_(handles), clock_(clock), faults_(faults), gate_(gate) {}

Threads::~Threads() {
    JoinAll();
}

platform::Handle Threads::CreateThread(std::function<std::uint32_t()> body,
                                       platform::ThreadId* id) {
    // As on Windows when the system is out of resources for a thread.
    if (auto fault = faults_.CheckNamed("CreateThread")) {
        SetLastError(fault->error);
        return nullptr;
    }
    auto object = std::make_shared<ThreadObject>();
    std::uint64_t ordinal = gate_.NextOrdinal();
    platform::Handle handle = handles_.Add(object);
    std::lock_guard lock(mutex_);
    if (id != nullptr) *id = nextId_;
    ++nextId_;
    std::thread thread([this, object, ordinal, body = std::move(body)] {
        gate_.ThreadStarted(ordinal);
        std::uint32_t code = body();
        gate_.ThreadEnded();
        std::lock_guard done(object->mutex);
        object->exitCode = code;
        object->done = true;
        object->ended.notify_all();
    });
    threads_.emplace_back(object, std::move(thread));
    return handle;
}

std::uint32_t Threads::WaitForThread(platform::Handle thread, std::uint32_t timeoutMs) {
    gate_.Step("WaitForSingleObject");
    auto object = handles_.FindAs<ThreadObject>(thread);
    if (!object) {
        SetLastError(platform::kErrorInvalidHandle);
        return platform::kWaitFailed;
    }
    std::unique_lock lock(object->mutex);
    bool ended = clock_.WaitUntil(
        object->ended, lock, [&] { return object->done; }, timeoutMs);
    return ended ? platform::kWaitObject0 : platform::kWaitTimeout;
}

bool Threads::GetExitCodeThread(platform::Handle thread, std::uint32_t* code) {
    gate_.Step("GetExitCodeThread");
    auto object = handles_.FindAs<ThreadObject>(thread);
    if (!object) {
        SetLastError(platform::kErrorInvalidHandle);
        return false;
    }
    std::lock_guard lock(object->mutex);
    *code = object->exitCode;
    return true;
}

std::size_t Threads::Running() {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (auto& [object, thread] : threads_) {
        std::lock_guard objectLock(object->mutex);
        n += object->done ? 0 : 1;
    }
    return n;
}

bool Threads::OthersRunning() {
    std::lock_guard lock(mutex_);
    for (auto& [object, thread] : threads_) {
        if (thread.get_id() == std::this_thread::get_id()) continue;
        std::lock_guard objectLock(object->mutex);
        if (!object->done) return true;
    }
    return false;
}

void Threads::JoinAll() {
    for (;;) {
        std::thread thread;
        {
            std::lock_guard lock(mutex_);
            if (threads_.empty()) return;
            thread = std::move(threads_.front().second);
            threads_.pop_front();
        }
        if (thread.joinable()) thread.join();
    }
}

}  // namespace standin
