// Failures injected into the stand-in platform: the Nth call of an operation (or of any
// operation) fails, goes pending in one of several ways, or moves fewer bytes; once, or
// from then on.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/step_gate.h"

namespace standin {

struct Fault {
    enum class Action {
        kFail,                // fails at once with error
        kPendingDone,         // goes pending, then ends with the bytes moved
        kPendingStall,        // goes pending and never ends unless cancelled
        kPendingAbandoned,    // goes pending; the wait for it ends as abandoned
        kPendingWaitFails,    // goes pending; the wait for it fails with error
        kPendingResultFails,  // goes pending, ends, and fetching its result fails with error
        kShort,               // moves only `bytes` bytes
    };
    Action action = Action::kFail;
    std::uint32_t error = 0;
    std::uint32_t bytes = 0;
};

class FaultPlan {
  public:
    // Every operation that asks the plan is also a step of this gate.
    explicit FaultPlan(StepGate& gate) : gate_(gate) {}
    // op empty: the Nth call of any operation. n counts from 1.
    void Add(std::string op, std::uint64_t n, Fault fault, bool persistent = false);
    void Fail(std::string op, std::uint64_t n, std::uint32_t error, bool persistent = false) {
        Add(std::move(op), n, Fault{Fault::Action::kFail, error, 0}, persistent);
    }
    void Clear();
    // Called by each operation: what to do instead of the normal work, if anything.
    std::optional<Fault> Check(std::string_view op);
    // For operations that fail only when a rule names them (not the Nth call of any
    // operation): counted apart, so the loops over every call keep their numbering.
    std::optional<Fault> CheckNamed(std::string_view op);
    // Calls counted so far (all operations, or one).
    std::uint64_t Calls();
    std::uint64_t CallsOf(std::string_view op);

  private:
    std::optional<Fault> Count(std::string_view op, bool anyOperation);

    struct Rule {
        std::string op;
        std::uint64_t n;
        Fault fault;
        bool persistent;
    };
    StepGate& gate_;
    std::mutex mutex_;
    std::vector<Rule> rules_;
    std::vector<std::pair<std::string, std::uint64_t>> perOp_;
    std::uint64_t calls_ = 0;
};

}  // namespace standin
