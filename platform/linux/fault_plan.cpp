#include "platform/linux/fault_plan.h"

namespace standin {

void FaultPlan::Add(std::string op, std::uint64_t n, Fault fault, bool persistent) {
    std::lock_guard lock(mutex_);
    rules_.push_back(Rule{std::move(op), n, fault, persistent});
}

void FaultPlan::Clear() {
    std::lock_guard lock(mutex_);
    rules_.clear();
}

std::optional<Fault> FaultPlan::Check(std::string_view op) {
    return Count(op, true);
}

std::optional<Fault> FaultPlan::CheckNamed(std::string_view op) {
    return Count(op, false);
}

std::optional<Fault> FaultPlan::Count(std::string_view op, bool anyOperation) {
    gate_.Step(op);
    std::lock_guard lock(mutex_);
    if (anyOperation) ++calls_;
    std::uint64_t opCalls = 0;
    for (auto& [name, count] : perOp_) {
        if (name == op) opCalls = ++count;
    }
    if (opCalls == 0) perOp_.emplace_back(std::string(op), opCalls = 1);
    for (const Rule& rule : rules_) {
        std::uint64_t seen =
            rule.op.empty() ? (anyOperation ? calls_ : 0) : (rule.op == op ? opCalls : 0);
        if (seen == 0) continue;
        if (seen == rule.n || (rule.persistent && seen > rule.n)) return rule.fault;
    }
    return std::nullopt;
}

std::uint64_t FaultPlan::Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::uint64_t FaultPlan::CallsOf(std::string_view op) {
    std::lock_guard lock(mutex_);
    for (const auto& [name, count] : perOp_) {
        if (name == op) return count;
    }
    return 0;
}

}  // namespace standin
