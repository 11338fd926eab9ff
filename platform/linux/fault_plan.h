// Failures injected into the stand-in platform: fail the Nth call of an operation (or of
// any operation), once or from then on, with a given system error code.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

class FaultPlan {
  public:
    // op empty: the Nth call of any operation. n counts from 1.
    void Fail(std::string op, std::uint64_t n, std::uint32_t error, bool persistent = false);
    void Clear();
    // Called by each operation: the error to fail this call with, if any.
    std::optional<std::uint32_t> Check(std::string_view op);
    // Calls counted so far (all operations).
    std::uint64_t Calls();

  private:
    struct Rule {
        std::string op;
        std::uint64_t n;
        std::uint32_t error;
        bool persistent;
    };
    std::mutex mutex_;
    std::vector<Rule> rules_;
    std::vector<std::pair<std::string, std::uint64_t>> perOp_;
    std::uint64_t calls_ = 0;
};

}  // namespace standin
