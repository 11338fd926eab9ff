// Close at every moment of a worker's life. A worker thread is held at its k-th step (a
// call into the platform or a window operation) while commands reach the window; then it
// goes on. For every k: the program ends, gives the imaging service back for good, leaves
// no lock or handle behind, starts nothing after Close and never offers a command again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "app/load_text.h"
#include "app/thread_language.h"
#include "app/utf.h"
#include "app_harness.h"
#include "resource.h"

namespace {

using namespace std::chrono_literals;

// Short device times keep an update's steps few (the burn still outlasts the settle), and
// the smallest image keeps each update cheap.
constexpr char kScenario[] = "relay:burn_ms=8000,off_delay_ms=1500,off_ms=1500,boot_ms=500";
constexpr wchar_t kCancelCreated[] = L"[Cancel Button] Create Cancel Thread...\n";

enum class Life {
    kServiceThread,             // the first service thread: the stop, then the first query
    kServiceThreadAfterSearch,  // the same, with a Search Device while it still stops
    kUpdate,                    // an update thread, from the Update command to its end
};

struct Case {
    const char* what;
    Life life;
    std::vector<int> commands;  // sent at the k-th step, in order
};

const Case kCases[] = {
    {"service thread: Close", Life::kServiceThread, {IDCANCEL}},
    {"service thread: Close, Close, Search, Update",
     Life::kServiceThread,
     {IDCANCEL, IDCANCEL, IDC_BTN_SEARCH, IDC_BTN_UPDATE}},
    {"service thread after a search: Close", Life::kServiceThreadAfterSearch, {IDCANCEL}},
    {"update: Close, Search, Update", Life::kUpdate, {IDCANCEL, IDC_BTN_SEARCH, IDC_BTN_UPDATE}},
};

// What the window's thread saw once Close had been taken, and what the program had done
// by then; written on the window's thread, read after the program has ended.
struct Watch {
    std::mutex mutex;
    bool closing = false;
    std::vector<std::wstring> offeredAfterClose;  // commands enabled after Close
    std::uint64_t threadsAtClose = 0;
    std::size_t imagesAtClose = 0;
    std::size_t serviceRequestsAtClose = 0;
};

std::wstring English(int id) {
    SetThreadLanguage(0x0409);
    return LoadText(id);
}

bool IsEnable(const std::wstring& entry) {
    return entry == L"enable 1000: 1" || entry == L"enable 1144: 1" || entry == L"enable 2: 1";
}

class ProgramRun {
  public:
    explicit ProgramRun(const Case& c) : c_(c), h_({.args = {"-d"}, .virtualGrace = 20ms}) {
        scanners_ = h_.Scenario(kScenario);
        // While the service thread's life is explored, the operator presses Update as soon
        // as it shows enabled.
        bool pressUpdate = c.life != Life::kUpdate;
        h_.os().SetDialogObserver(
            [this, pressUpdate](standin::DialogHost& host, const std::wstring& entry) {
                if (!IsEnable(entry)) return;
                std::lock_guard lock(watch_.mutex);
                if (watch_.closing) watch_.offeredAfterClose.push_back(entry);
                if (pressUpdate && entry == L"enable 1144: 1") {
                    host.Post([&host] { host.Activate(IDC_BTN_UPDATE); });
                }
            });
    }

    // Runs the program with the worker held at the k-th step of the part of its life this
    // case is about; false when the worker ended before it.
    bool At(std::uint64_t k) {
        standin::StepGate& gate = h_.os().Gate();
        std::uint64_t worker = 1;
        switch (c_.life) {
            case Life::kServiceThread:
                gate.Arm(1, k);
                h_.StartApp();
                break;
            case Life::kServiceThreadAfterSearch:
                // The stop waits in the service until Search Device has run beside it.
                h_.os().Scm().HoldStopControls(true);
                h_.StartApp();
                EXPECT_TRUE(WaitUntil([&] { return h_.os().Scm().HeldControls() == 1; }));
                gate.Arm(1, gate.StepsOf(1) + k);
                EXPECT_TRUE(h_.WaitForWindow());
                h_.Click(IDC_BTN_SEARCH);
                h_.os().Scm().HoldStopControls(false);
                break;
            case Life::kUpdate:
                h_.StartApp();
                EXPECT_TRUE(h_.WaitForWindow());
                EXPECT_TRUE(h_.WaitForWorkers());
                worker = gate.Started() + 1;
                gate.Arm(worker, k);
                EXPECT_TRUE(h_.Snapshot().controls[IDC_BTN_UPDATE].enabled);
                h_.Click(IDC_BTN_UPDATE);
                break;
        }
        bool held = gate.WaitHeld(worker, 20s);
        EXPECT_TRUE(held || gate.Ended(worker)) << "the worker neither came to its step nor ended";
        if (held) {
            EXPECT_TRUE(h_.WaitForWindow());
            where_ = gate.HeldAt(worker);
            for (int id : c_.commands) Send(id);
            gate.Release(worker);
        }
        // Whatever Close was refused for (an update) has ended by now; Close again.
        EXPECT_TRUE(h_.WaitForWorkers());
        if (!h_.WaitForExit(0ms)) Send(IDCANCEL);
        EXPECT_TRUE(h_.WaitForExit());
        return held;
    }

    // What must hold once the program has ended.
    void Check(const std::string& where) {
        standin::LinuxPlatform& os = h_.os();
        std::lock_guard lock(watch_.mutex);
        EXPECT_TRUE(watch_.closing) << where << ": Close was never taken";
        EXPECT_EQ(h_.RunningAtExit(), 0u) << where << ": a worker outlived the program";
        EXPECT_EQ(os.Dialog()->LateCalls(), 0u) << where << ": window calls after its end";
        EXPECT_THAT(watch_.offeredAfterClose, testing::IsEmpty()) << where;
        EXPECT_EQ(os.Gate().Started(), watch_.threadsAtClose + 1)
            << where << ": only the cancel thread may start after Close";
        sim::DeviceRecord record = scanners_[0]->Record();
        EXPECT_EQ(record.images.size(), watch_.imagesAtClose)
            << where << ": an image was sent after Close";
        // Commands that arrive during an update leave it alone.
        if (!record.images.empty()) {
            EXPECT_TRUE(record.images.back().accepted) << where;
            EXPECT_THAT(h_.StatusHistory(), testing::Contains(English(253))) << where;
        }

        EXPECT_EQ(os.Scm().StartType(), platform::kServiceAutoStart) << where;
        EXPECT_EQ(os.Scm().State(), platform::kServiceRunning) << where;
        // The restart after Close is the last word on the service.
        std::vector<std::string> history = os.Scm().History();
        bool restarted = false;
        for (std::size_t i = watch_.serviceRequestsAtClose; i < history.size(); ++i) {
            const std::string& request = history[i];
            if (request == "start" || request == "start-type 2") restarted = true;
            if (restarted && (request == "stop" || request == "start-type 4")) {
                ADD_FAILURE() << where << ": the service was stopped again after its restart";
            }
        }

        for (auto kind : {standin::ObjectKind::kMutex, standin::ObjectKind::kDevice,
                          standin::ObjectKind::kEvent, standin::ObjectKind::kThread,
                          standin::ObjectKind::kService}) {
            EXPECT_EQ(os.Handles().Count(kind), 0u)
                << where << ": handles left of kind " << static_cast<int>(kind);
        }
    }

    const std::string& HeldAt() const { return where_; }

  private:
    // Sends a command. Once Closing has begun, Search and Update do nothing at all, and a
    // second Close only disables the commands again.
    void Send(int id) {
        std::size_t before = 0;
        bool closing = false;
        standin::DialogHost& host = *h_.os().Dialog();
        h_.Command(
            id,
            [&] {
                before = host.Model().log.size();
                std::lock_guard lock(watch_.mutex);
                closing = watch_.closing;
            },
            [&] {
                if (closing) {
                    const auto& log = host.Model().log;
                    for (std::size_t i = before; i < log.size(); ++i) {
                        if (id != IDCANCEL || !log[i].ends_with(L": 0")) {
                            ADD_FAILURE() << "command " << id << " after Close did "
                                          << WideToUtf8(log[i]) << " at " << where_;
                        }
                    }
                }
                NoteClose();
            });
    }

    // On the window's thread, right after a command: did it begin Closing?
    void NoteClose() {
        std::lock_guard lock(watch_.mutex);
        if (watch_.closing || h_.ConsoleText().find(kCancelCreated) == std::wstring::npos) return;
        watch_.closing = true;
        watch_.threadsAtClose = h_.os().Gate().Started() - 1;  // the cancel thread is counted
        watch_.imagesAtClose = scanners_[0]->Record().images.size();
        watch_.serviceRequestsAtClose = h_.os().Scm().History().size();
    }

    static bool WaitUntil(const std::function<bool()>& condition) {
        auto until = std::chrono::steady_clock::now() + 20s;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    const Case& c_;
    AppHarness h_;
    std::vector<std::shared_ptr<sim::VeloraDevice>> scanners_;
    Watch watch_;
    std::string where_;
};

// Each case's moments are shared out over a few test programs, so that CTest runs them
// side by side.
constexpr int kShards = 3;

struct Shard {
    int caseIndex;
    int shard;
};

class CloseInterleaving : public testing::TestWithParam<Shard> {};

TEST_P(CloseInterleaving, EveryMomentOfTheWorkerEndsClean) {
    const Case& c = kCases[GetParam().caseIndex];
    std::uint64_t moments = 0;
    for (std::uint64_t k = 1 + GetParam().shard;; k += kShards) {
        ProgramRun run(c);
        bool held = run.At(k);
        std::string where = std::string(c.what) + ", k=" + std::to_string(k) + " (" +
                            (held ? run.HeldAt() : "worker ended") + ")";
        run.Check(where);
        if (testing::Test::HasFailure() || !held) break;
        ++moments;
    }
    std::printf("%s: %llu moments in this shard\n", c.what,
                static_cast<unsigned long long>(moments));
    EXPECT_GT(moments, 5u) << "the worker was held at its steps";
}

std::vector<Shard> AllShards() {
    std::vector<Shard> shards;
    for (int i = 0; i < static_cast<int>(std::size(kCases)); ++i) {
        for (int s = 0; s < kShards; ++s) shards.push_back({i, s});
    }
    return shards;
}

INSTANTIATE_TEST_SUITE_P(Cases, CloseInterleaving, testing::ValuesIn(AllShards()),
                         [](const testing::TestParamInfo<Shard>& info) {
                             return "case" + std::to_string(info.param.caseIndex) + "_shard" +
                                    std::to_string(info.param.shard);
                         });

}  // namespace

namespace {

// The cancel thread stops waiting for a service thread after its 100 attempts; that
// thread, still in its query, then finds the service running again. It must not start
// another stop while the window is still up, nor touch the service at all.
TEST(CloseInterleaving, ServiceThreadThatOutlivesTheCancelThreadStopsNothing) {
    AppHarness h({.args = {"-d"}, .virtualGrace = 2ms});
    h.Scenario(kScenario);
    standin::StepGate& gate = h.os().Gate();
    constexpr std::uint64_t kServiceThread = 1;
    constexpr std::uint64_t kCancelThread = 2;
    gate.ArmNamed(kServiceThread, "CreateFile");  // its query's first look at the scanner
    gate.ArmNamed(kCancelThread, "window", 2);    // after Start WIA: ending the window
    h.StartApp();
    ASSERT_TRUE(gate.WaitHeld(kServiceThread, 20s));
    ASSERT_TRUE(h.WaitForWindow());
    h.Command(IDCANCEL);
    ASSERT_TRUE(gate.WaitHeld(kCancelThread, 20s));
    EXPECT_EQ(h.os().Scm().State(), platform::kServiceRunning);
    EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceAutoStart);
    std::size_t requests = h.os().Scm().History().size();

    gate.Release(kServiceThread);
    auto until = std::chrono::steady_clock::now() + 20s;
    while (!gate.Ended(kServiceThread) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(gate.Ended(kServiceThread));
    gate.Release(kCancelThread);
    ASSERT_TRUE(h.WaitForExit());

    EXPECT_EQ(gate.Started(), 2u) << "a service thread was started after Close";
    std::vector<std::string> history = h.os().Scm().History();
    EXPECT_EQ(history.size(), requests) << "the service was asked for more after its restart";
    EXPECT_EQ(h.os().Scm().State(), platform::kServiceRunning);
    EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceAutoStart);
    EXPECT_EQ(h.ConsoleCount(L"return wait time out!!"), 100u);
    EXPECT_EQ(h.RunningAtExit(), 0u);
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kThread), 0u);
}

}  // namespace
