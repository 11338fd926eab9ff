#include "platform/linux/step_gate.h"

namespace standin {

namespace {
// The platform thread the caller is; 0 for threads the platform did not start (the
// window's thread, a test's own).
thread_local std::uint64_t currentOrdinal = 0;
}  // namespace

void StepGate::Arm(std::uint64_t ordinal, std::uint64_t k) {
    std::lock_guard lock(mutex_);
    holds_[ordinal] = Hold{.k = k};
}

void StepGate::ArmNamed(std::uint64_t ordinal, std::string what, std::uint64_t occurrence) {
    std::lock_guard lock(mutex_);
    holds_[ordinal] = Hold{.what = std::move(what), .occurrence = occurrence};
}

bool StepGate::WaitHeld(std::uint64_t ordinal, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit,
                      [&] { return holds_[ordinal].held || ended_.contains(ordinal); });
    return holds_[ordinal].held;
}

bool StepGate::Ended(std::uint64_t ordinal) {
    std::lock_guard lock(mutex_);
    return ended_.contains(ordinal);
}

std::string StepGate::HeldAt(std::uint64_t ordinal) {
    std::lock_guard lock(mutex_);
    return holds_[ordinal].at;
}

void StepGate::Release(std::uint64_t ordinal) {
    std::lock_guard lock(mutex_);
    holds_[ordinal].released = true;
    changed_.notify_all();
}

void StepGate::Step(std::string_view what) {
    std::uint64_t self = currentOrdinal;
    if (self == 0) return;
    std::unique_lock lock(mutex_);
    std::uint64_t step = ++steps_[self];
    auto it = holds_.find(self);
    if (it == holds_.end() || it->second.held) return;
    Hold& hold = it->second;
    bool reached =
        hold.k != 0 ? step == hold.k : what == hold.what && ++hold.seen == hold.occurrence;
    if (!reached) return;
    hold.held = true;
    hold.at = what;
    changed_.notify_all();
    changed_.wait(lock, [&] { return holds_[self].released; });
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
