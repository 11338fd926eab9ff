// The error paths as a whole: during an update, the Nth call of the seam fails, for every
// N until an update goes through untouched. Whatever failed, the update must end with a
// true message, the commands back, no busy lock, device handle, event or pending transfer
// left, and after Close the imaging service automatic and running.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "app/load_text.h"
#include "app/text_format.h"
#include "app/thread_language.h"
#include "app/utf.h"
#include "app_harness.h"
#include "resource.h"

namespace {

// Messages an update may end with after "Update Failed: ".
const int kFailureTexts[] = {248, 226, 239, 240, 241, 247, 212, 252, 213,
                             206, 207, 208, 209, 216, 220, 235, 234};

// Sanitizer builds take every Nth case only (FWUPDATE_FAULT_STRIDE), to keep CI short.
int Stride() {
    const char* value = std::getenv("FWUPDATE_FAULT_STRIDE");
    int stride = value ? std::atoi(value) : 1;
    return stride > 0 ? stride : 1;
}

// Runs one update with the Nth seam call after the first search failing; false when the
// update never reached that call.
bool RunWithFault(const std::string& scenario, std::uint64_t n, std::string* outcome) {
    AppHarness h({.virtualGrace = std::chrono::milliseconds(20)});
    h.Scenario(scenario);
    h.StartApp();
    EXPECT_TRUE(h.WaitForWindow());
    EXPECT_TRUE(h.WaitForWorkers());
    EXPECT_TRUE(h.Snapshot().controls[IDC_BTN_UPDATE].enabled);
    std::uint64_t base = h.os().Faults().Calls();
    h.os().Faults().Fail("", base + n, platform::kErrorGenFailure);
    h.Click(IDC_BTN_UPDATE);
    EXPECT_TRUE(h.WaitForWorkers());
    h.OnWindow([] {});
    bool reached = h.os().Faults().Calls() >= base + n;

    SetThreadLanguage(0x0409);
    standin::DialogModel m = h.Snapshot();
    std::wstring final = m.rows[0].cells[1];
    bool known = final == LoadText(253);
    for (int id : kFailureTexts) known = known || final == Format(LoadText(254), LoadText(id));
    std::string where = scenario + " N=" + std::to_string(n);
    EXPECT_TRUE(known) << where << ": " << WideToUtf8(final);
    EXPECT_TRUE(m.controls[IDC_BTN_SEARCH].enabled) << where;
    EXPECT_TRUE(m.controls[IDCANCEL].enabled) << where;
    EXPECT_FALSE(m.controls[IDC_BTN_UPDATE].enabled) << where;
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 1u) << where << ": busy locks";
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kDevice), 0u) << where;
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kEvent), 0u) << where;
    EXPECT_EQ(h.os().Driver().PendingTransfers(), 0u) << where;
    EXPECT_EQ(h.os().Driver().AbandonedPendingTransfers(), 0u) << where;

    h.Click(IDCANCEL);
    EXPECT_TRUE(h.WaitForExit()) << where;
    // A start that was asked for finishes on the service's own time.
    static_cast<standin::VirtualClock&>(h.os().StandInClock()).Advance(10000);
    EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceAutoStart) << where;
    EXPECT_EQ(h.os().Scm().State(), platform::kServiceRunning) << where;
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 0u) << where;
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kService), 0u) << where;
    EXPECT_EQ(h.os().StandInThreads().Running(), 0u) << where;
    *outcome = WideToUtf8(final);
    return reached;
}

// The loop's cases are shared out over `shards` test programs (CTest runs them side by
// side): this one takes every shards-th of them, starting with its own.
void FaultLoop(const std::string& scenario, int shard, int shards) {
    std::map<std::string, int> outcomes;
    const auto stride = static_cast<std::uint64_t>(Stride());
    std::uint64_t n = 1 + static_cast<std::uint64_t>(shard) * stride;
    for (;; n += stride * static_cast<std::uint64_t>(shards)) {
        std::string outcome;
        bool reached = RunWithFault(scenario, n, &outcome);
        if (testing::Test::HasFailure()) return;
        ++outcomes[outcome];
        if (!reached) {
            EXPECT_EQ(outcome, "Update Succeed.") << "an untouched update succeeds";
            break;
        }
    }
    std::string summary;
    for (const auto& [text, count] : outcomes)
        summary += "  " + std::to_string(count) + " x " + text + "\n";
    std::printf("%s, part %d of %d: calls up to %llu\n%s", scenario.c_str(), shard + 1, shards,
                static_cast<unsigned long long>(n), summary.c_str());
    // Every call of a part fails in turn: the faults reach several steps. Taking every
    // Nth call only, a part may meet just a few.
    EXPECT_GT(outcomes.size(), stride == 1 ? 3u : 1u) << "the faults reached several steps";
}

struct LoopPart {
    const char* name;
    const char* scenario;
    int shard;
    int shards;
};

// Short device times keep the number of seam calls (and so of cases) small; the burn
// still outlasts the 6 s settle, and the scanner stays off longer than one probe period.
constexpr char kNormal[] = "normal:burn_ms=9000,off_delay_ms=1500,off_ms=2500,boot_ms=1000";
constexpr char kRecovery[] = "recovery:off_delay_ms=1000,off_ms=2500,boot_ms=1000";
const LoopPart kLoopParts[] = {
    {"NormalUpdate", kNormal, 0, 4},     {"NormalUpdate", kNormal, 1, 4},
    {"NormalUpdate", kNormal, 2, 4},     {"NormalUpdate", kNormal, 3, 4},
    {"RecoveryUpdate", kRecovery, 0, 2}, {"RecoveryUpdate", kRecovery, 1, 2},
};

class FaultLoopPart : public testing::TestWithParam<LoopPart> {};

TEST_P(FaultLoopPart, EveryCallFailingInTurn) {
    FaultLoop(GetParam().scenario, GetParam().shard, GetParam().shards);
}

INSTANTIATE_TEST_SUITE_P(FaultLoop, FaultLoopPart, testing::ValuesIn(kLoopParts),
                         [](const testing::TestParamInfo<LoopPart>& info) {
                             return std::string(info.param.name) + "_part" +
                                    std::to_string(info.param.shard + 1);
                         });

// Close, with the Nth seam call after the click failing: right after the window opened
// (the service thread may still be at work) and after an update. The program always ends,
// with no busy lock or handle left; the service is automatic and running unless the fault
// struck its start, which the window then says (227).
bool CloseWithFault(bool afterUpdate, std::uint64_t n, std::string* outcome) {
    AppHarness h;
    h.Scenario("normal:burn_ms=9000,off_delay_ms=1500,off_ms=2500,boot_ms=1000");
    h.StartApp();
    EXPECT_TRUE(h.WaitForWindow());
    if (afterUpdate) {
        EXPECT_TRUE(h.WaitForWorkers());
        h.Click(IDC_BTN_UPDATE);
        EXPECT_TRUE(h.WaitForWorkers());
    }
    std::uint64_t base = h.os().Faults().Calls();
    h.os().Faults().Fail("", base + n, platform::kErrorGenFailure);
    h.Click(IDCANCEL);
    std::string where =
        std::string(afterUpdate ? "after update" : "at start") + " N=" + std::to_string(n);
    EXPECT_TRUE(h.WaitForExit()) << where;
    bool reached = h.os().Faults().Calls() >= base + n;

    static_cast<standin::VirtualClock&>(h.os().StandInClock()).Advance(10000);
    SetThreadLanguage(0x0409);
    std::wstring status = h.Snapshot().controls[IDC_STATIC_STATUS].text;
    bool restarted = h.os().Scm().StartType() == platform::kServiceAutoStart &&
                     h.os().Scm().State() == platform::kServiceRunning;
    EXPECT_TRUE(restarted || status == LoadText(227)) << where << ": " << WideToUtf8(status);
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 0u) << where;
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kDevice), 0u) << where;
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kEvent), 0u) << where;
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kService), 0u) << where;
    EXPECT_EQ(h.os().StandInThreads().Running(), 0u) << where;
    *outcome = restarted ? "service restarted" : "service start failed, shown";
    return reached;
}

void CloseLoop(bool afterUpdate) {
    std::map<std::string, int> outcomes;
    std::uint64_t n = 1;
    for (;; n += static_cast<std::uint64_t>(Stride())) {
        std::string outcome;
        bool reached = CloseWithFault(afterUpdate, n, &outcome);
        if (testing::Test::HasFailure()) return;
        ++outcomes[outcome];
        if (!reached) break;
    }
    std::printf("Close %s: %llu cases\n", afterUpdate ? "after an update" : "at start",
                static_cast<unsigned long long>(n));
    for (const auto& [text, count] : outcomes) std::printf("  %d x %s\n", count, text.c_str());
}

TEST(FaultLoop, CloseRightAfterStart) {
    CloseLoop(false);
}

TEST(FaultLoop, CloseAfterAnUpdate) {
    CloseLoop(true);
}

}  // namespace
