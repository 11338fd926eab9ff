#include "platform/linux/threads.h"

#include "platform/linux/last_error.h"

namespace standin {

Threads::Threads(HandleTable& handles, Clock& clock) : handles_(handles), clock_(clock) {}

Threads::~Threads() {
    JoinAll();
}

platform::Handle Threads::CreateThread(std::function<std::uint32_t()> body,
                                       platform::ThreadId* id) {
    auto object = std::make_shared<ThreadObject>();
    platform::Handle handle = handles_.Add(object);
    std::lock_guard lock(mutex_);
    if (id != nullptr) *id = nextId_;
    ++nextId_;
    std::thread thread([object, body = std::move(body)] {
        std::uint32_t code = body();
        std::lock_guard done(object->mutex);
        object->exitCode = code;
        object->done = true;
        object->ended.notify_all();
    });
    threads_.emplace_back(object, std::move(thread));
    return handle;
}

std::uint32_t Threads::WaitForThread(platform::Handle thread, std::uint32_t timeoutMs) {
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
