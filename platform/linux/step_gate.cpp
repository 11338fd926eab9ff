#include "platform/linux/step_gate.h"

namespace standin {

namespace {
// The platform thread the caller is; 0 for threads the platform did not start (the
// window's thread, a test's own).
thread_local std::uint64_t currentOrdinal = 0;
}  // namespace

void StepGate::Arm(std::uint64_t ordinal, std::uint64_t k) {
    std::lock_guard lock(mutex_);
    ordinal_ = ordinal;
    k_ = k;
    held_ = false;
    released_ = false;
    heldAt_.clear();
}

bool StepGate::WaitHeld(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return held_ || ended_.contains(ordinal_); });
    return held_;
}

bool StepGate::Ended(std::uint64_t ordinal) {
    std::lock_guard lock(mutex_);
    return ended_.contains(ordinal);
}

std::string StepGate::HeldAt() {
    std::lock_guard lock(mutex_);
    return heldAt_;
}

void StepGate::Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

void StepGate::Step(std::string_view what) {
    std::uint64_t self = currentOrdinal;
    if (self == 0) return;
    std::unique_lock lock(mutex_);
    std::uint64_t step = ++steps_[self];
    if (self != ordinal_ || held_ || step != k_) return;
    held_ = true;
    heldAt_ = what;
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_; });
}

std::uint64_t StepGate::NextOrdinal() {
    std::lock_guard lock(mutex_);
    return ++started_;
}

void StepGate::ThreadStarted(std::uint64_t ordinal) {
    currentOrdinal = ordinal;
}

void StepGate::ThreadEnded() {
    std::lock_guard lock(mutex_);
    ended_.insert(currentOrdinal);
    changed_.notify_all();
}

std::uint64_t StepGate::Started() {
    std::lock_guard lock(mutex_);
    return started_;
}

std::uint64_t StepGate::StepsOf(std::uint64_t ordinal) {
    std::lock_guard lock(mutex_);
    auto it = steps_.find(ordinal);
    return it == steps_.end() ? 0 : it->second;
}

}  // namespace standin
