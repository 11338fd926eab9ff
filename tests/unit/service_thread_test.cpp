#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "app/load_text.h"
#include "app/thread_language.h"
#include "app_harness.h"
#include "resource.h"

namespace {

using namespace std::chrono_literals;
using Behaviour = standin::ServiceControlManager::Behaviour;
using testing::HasSubstr;
using testing::Not;

std::wstring English(int id) {
    SetThreadLanguage(0x0409);
    return LoadText(id);
}

bool WaitFor(const std::function<bool()>& condition) {
    auto until = std::chrono::steady_clock::now() + 20s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST(ServiceThread, WindowOpeningStopsTheServiceThenSearches) {
    AppHarness h({.args = {"-d"}});
    h.Scenario("normal");
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());
    EXPECT_EQ(h.os().Scm().State(), platform::kServiceStopped);
    EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceDisabled);
    std::wstring console = h.ConsoleText();
    auto start = console.find(L"[Thread][Create Event 1] Closed WIA Start!!\n");
    auto query = console.find(L"[GetDeviceStatus]: Check device status READY...\n");
    auto finish = console.find(L"[Thread][Create Event 1] Closed WIA finish!!\n");
    EXPECT_LT(start, query);
    EXPECT_LT(query, finish);
    EXPECT_NE(finish, std::wstring::npos);
    h.Click(IDCANCEL);
    ASSERT_TRUE(h.WaitForExit());
}

TEST(ServiceThread, ServiceThatCannotBeStopped) {
    struct Case {
        const char* what;
        Behaviour service;
    };
    const Case cases[] = {
        {"no administrator rights", {.accessDenied = true}},
        {"stop never ends",
         {.waitHintMs = 3000, .stopTakesMs = standin::ServiceControlManager::kNever}},
    };
    for (const Case& c : cases) {
        AppHarness h({.args = {"-d"}});
        h.Scenario("normal");
        h.os().Scm().Configure(c.service);
        h.StartApp();
        ASSERT_TRUE(h.WaitForWindow());
        ASSERT_TRUE(h.WaitForWorkers());
        EXPECT_EQ(h.Snapshot().controls[IDC_STATIC_STATUS].text, English(226)) << c.what;
        EXPECT_THAT(h.ConsoleText(), Not(HasSubstr(L"[GetDeviceStatus]"))) << c.what;
        EXPECT_FALSE(h.Snapshot().controls[IDC_BTN_UPDATE].enabled) << c.what;
        h.Click(IDCANCEL);
        ASSERT_TRUE(h.WaitForExit()) << c.what;
    }
}

TEST(ServiceThread, SearchWhileTheServiceIsStillBeingStopped) {
    AppHarness h({.args = {"-d"}});
    h.Scenario("normal");
    h.os().Scm().HoldStopControls(true);
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(WaitFor([&] { return h.os().Scm().HeldControls() == 1; }));

    h.Click(IDC_BTN_SEARCH);
    standin::DialogModel m = h.Snapshot();
    EXPECT_EQ(m.controls[IDC_STATIC_STATUS].text, English(230));
    EXPECT_EQ(m.rows[0].cells[1], L"") << "the query ended before it wrote anything";
    EXPECT_THAT(h.ConsoleText(), Not(HasSubstr(L"[GetDeviceStatus]")));

    h.os().Scm().HoldStopControls(false);
    ASSERT_TRUE(h.WaitForWorkers());
    EXPECT_EQ(h.Snapshot().controls[IDC_STATIC_STATUS].text, English(249))
        << "the service thread searched once it had stopped the service";
    h.Click(IDCANCEL);
    ASSERT_TRUE(h.WaitForExit());
}

TEST(ServiceThread, ServiceStartedAgainByOthersIsStoppedAgain) {
    AppHarness h({.args = {"-d"}});
    h.Scenario("normal");
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());
    h.os().Scm().StartedByOthers();

    h.Click(IDC_BTN_SEARCH);
    ASSERT_TRUE(h.WaitForWorkers());
    // The search said so and ended; the new service thread may have searched since.
    std::vector<std::wstring> shown = h.StatusHistory();
    auto said = std::find(shown.begin(), shown.end(), English(230));
    ASSERT_NE(said, shown.end());
    EXPECT_EQ(std::count(said, shown.end(), English(249)), 1) << "one search after the stop";
    EXPECT_EQ(h.os().Scm().State(), platform::kServiceStopped);
    EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceDisabled);
    EXPECT_THAT(h.ConsoleText(), HasSubstr(L"[Thread][Create Event 2] Closed WIA Start!!\n"));
    EXPECT_EQ(h.Snapshot().controls[IDC_STATIC_STATUS].text, English(249));
    h.Click(IDCANCEL);
    ASSERT_TRUE(h.WaitForExit());
}

TEST(ServiceThread, CloseWhileTheServiceIsBeingStopped) {
    AppHarness h({.args = {"-d"}});
    auto scanners = h.Scenario("normal");
    h.os().Scm().HoldStopControls(true);
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(WaitFor([&] { return h.os().Scm().HeldControls() == 1; }));
    h.Click(IDCANCEL);
    // The cancel thread waits for the service thread meanwhile.
    ASSERT_TRUE(WaitFor([&] {
        return h.ConsoleText().find(
                   L"[Cancel Thread] Closed WIA Thread return wait time out!!\n") !=
               std::wstring::npos;
    }));
    h.os().Scm().HoldStopControls(false);
    ASSERT_TRUE(h.WaitForExit());

    std::wstring console = h.ConsoleText();
    EXPECT_THAT(console, HasSubstr(L"[Cancel Thread] Closed WIA Thread return TRUE!!\n"));
    EXPECT_THAT(console, Not(HasSubstr(L"[GetDeviceStatus]"))) << "no search once closing began";
    EXPECT_TRUE(scanners[0]->Record().commands.empty());
    EXPECT_EQ(h.os().Scm().State(), platform::kServiceRunning);
    EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceAutoStart);
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kService), 0u);
}

TEST(ServiceThread, CloseGivesTheServiceAndTheLocksBack) {
    AppHarness h({.args = {"-d"}});
    h.Scenario("normal");
    h.os().Scm().Configure({.startType = platform::kServiceDemandStart});
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 2u) << "guard and Vantor lock";
    h.Click(IDCANCEL);
    ASSERT_TRUE(h.WaitForExit());
    EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceAutoStart)
        << "automatic, even if it was manual";
    EXPECT_EQ(h.os().Scm().State(), platform::kServiceRunning);
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 0u);
    EXPECT_EQ(h.Snapshot().controls[IDC_STATIC_STATUS].text, English(231));
}

TEST(ServiceThread, FailedRestartOnCloseIsShownAndTheWindowStillEnds) {
    AppHarness h;
    h.Scenario("none");
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());
    h.os().Scm().Configure({.state = platform::kServiceStopped,
                            .startType = platform::kServiceDisabled,
                            .startFails = true});
    h.Click(IDCANCEL);
    ASSERT_TRUE(h.WaitForExit());
    EXPECT_EQ(h.Snapshot().controls[IDC_STATIC_STATUS].text, English(227));
}

}  // namespace

namespace {

// Without its thread, the cancel procedure runs on the window's thread: Close still waits
// for the service thread (serving its window calls meanwhile), gives the service back and
// ends the program.
TEST(ServiceThread, CloseWhenTheCancelThreadCannotStart) {
    for (bool whileStopping : {false, true}) {
        const char* what = whileStopping ? "while the service is being stopped" : "when idle";
        AppHarness h({.args = {"-d"}, .virtualGrace = std::chrono::milliseconds(20)});
        auto scanners = h.Scenario("normal");
        h.os().Scm().HoldStopControls(whileStopping);
        h.StartApp();
        ASSERT_TRUE(h.WaitForWindow());
        if (whileStopping) {
            ASSERT_TRUE(WaitFor([&] { return h.os().Scm().HeldControls() == 1; }));
        } else {
            ASSERT_TRUE(h.WaitForWorkers());
        }
        std::uint64_t created = h.os().Faults().CallsOf("CreateThread");
        h.os().Faults().Fail("CreateThread", created + 1, platform::kErrorNotEnoughMemory);
        // The Close command itself waits for the service thread now.
        h.Press(IDCANCEL);
        if (whileStopping) {
            EXPECT_TRUE(WaitFor([&] {
                return h.ConsoleText().find(L"Closed WIA Thread return wait time out!!") !=
                       std::wstring::npos;
            })) << what;
            h.os().Scm().HoldStopControls(false);
        }
        ASSERT_TRUE(h.WaitForExit()) << what;

        std::wstring console = h.ConsoleText();
        EXPECT_THAT(console, HasSubstr(L"[Cancel Button] Create Cancel Thread failed (8)")) << what;
        EXPECT_THAT(console, HasSubstr(L"[Cancel Thread] Closed WIA Thread return TRUE!!\n"))
            << what;
        EXPECT_EQ(h.os().Scm().State(), platform::kServiceRunning) << what;
        EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceAutoStart) << what;
        EXPECT_EQ(h.RunningAtExit(), 0u) << what;
        for (auto kind : {standin::ObjectKind::kMutex, standin::ObjectKind::kThread,
                          standin::ObjectKind::kService}) {
            EXPECT_EQ(h.os().Handles().Count(kind), 0u) << what;
        }
        if (whileStopping) {
            EXPECT_TRUE(scanners[0]->Record().commands.empty()) << "no search once Closing";
        }
    }
}

// A worker that never ends keeps the program only for the bounded wait after the window
// ended; the window object it uses is not destroyed under it.
TEST(ServiceThread, WorkerThatNeverEndsDoesNotKeepTheProgram) {
    AppHarness h({.args = {"-d"}, .virtualGrace = std::chrono::milliseconds(2)});
    h.Scenario("normal");
    h.os().Scm().HoldStopControls(true);
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(WaitFor([&] { return h.os().Scm().HeldControls() == 1; }));
    h.Click(IDCANCEL);
    ASSERT_TRUE(h.WaitForExit(std::chrono::seconds(60)));
    EXPECT_EQ(h.RunningAtExit(), 1u) << "the service thread, still in its stop";
    EXPECT_EQ(h.ConsoleCount(L"return wait time out!!"), 100u) << "the cancel thread's attempts";
    EXPECT_EQ(h.os().Dialog()->LateCalls(), 0u);

    // The thread goes on with the window object it had; it ends without a search.
    h.os().Scm().HoldStopControls(false);
    ASSERT_TRUE(h.WaitForWorkers());
    EXPECT_THAT(h.ConsoleText(), Not(HasSubstr(L"[GetDeviceStatus]")));
}

}  // namespace
