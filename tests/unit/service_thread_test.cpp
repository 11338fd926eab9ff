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
