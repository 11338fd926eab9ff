#include "service/wia_control.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app_harness.h"

namespace {

using Behaviour = standin::ServiceControlManager::Behaviour;
using standin::ServiceControlManager;
using testing::ElementsAre;
using testing::ElementsAreArray;

constexpr std::uint32_t kRunning = platform::kServiceRunning;
constexpr std::uint32_t kStopped = platform::kServiceStopped;
constexpr std::uint32_t kAuto = platform::kServiceAutoStart;
constexpr std::uint32_t kDemand = platform::kServiceDemandStart;
constexpr std::uint32_t kDisabled = platform::kServiceDisabled;

class WiaTest : public testing::Test {
  protected:
    WiaTest() { h_.os().process().OpenConsole(); }
    ~WiaTest() override {
        EXPECT_EQ(h_.os().Handles().Count(standin::ObjectKind::kService), 0u)
            << "handles left open";
    }
    ServiceControlManager& Scm() { return h_.os().Scm(); }
    std::uint64_t Now() { return h_.os().clock().NowMs(); }
    AppHarness h_;
};

TEST_F(WiaTest, StopWiaByStartingState) {
    struct Case {
        const char* what;
        Behaviour service;
        bool result;
        std::vector<std::string> history;
        std::uint32_t state;
    };
    const Case cases[] = {
        {"stopped and disabled already",
         {.state = kStopped, .startType = kDisabled},
         true,
         {},
         kStopped},
        {"stopped, automatic",
         {.state = kStopped, .startType = kAuto},
         true,
         {"start-type 4"},
         kStopped},
        {"running, stops in one wait hint",
         {.state = kRunning, .startType = kDemand, .waitHintMs = 2000, .stopTakesMs = 1500},
         true,
         {"stop", "stop", "start-type 4"},
         kStopped},
        {"running, stops after several wait hints",
         {.state = kRunning, .startType = kAuto, .waitHintMs = 1000, .stopTakesMs = 3500},
         true,
         {"stop", "stop", "stop", "stop", "stop", "start-type 4"},
         kStopped},
        {"stop never ends: disabled all the same",
         {.state = kRunning,
          .startType = kAuto,
          .waitHintMs = 5000,
          .stopTakesMs = ServiceControlManager::kNever},
         false,
         std::vector<std::string>(13, "stop"),
         platform::kServiceStopPending},
    };
    for (const Case& c : cases) {
        AppHarness h;
        h.os().Scm().Configure(c.service);
        CWIAControl wia;
        EXPECT_EQ(wia.StopWia(), c.result) << c.what;
        std::vector<std::string> history = c.history;
        if (std::string(c.what).starts_with("stop never")) history.push_back("start-type 4");
        EXPECT_EQ(h.os().Scm().History(), history) << c.what;
        EXPECT_EQ(h.os().Scm().State(), c.state) << c.what;
        EXPECT_EQ(h.os().Scm().StartType(), kDisabled) << c.what;
    }
}

TEST_F(WiaTest, StopGivesUpAfterSixtySeconds) {
    Scm().Configure(
        {.state = kRunning, .waitHintMs = 5000, .stopTakesMs = ServiceControlManager::kNever});
    std::uint64_t start = Now();
    CWIAControl wia;
    EXPECT_FALSE(wia.StopWia());
    EXPECT_GE(Now() - start, 60000u);
    EXPECT_LT(Now() - start, 66000u);
}

TEST_F(WiaTest, WaitHintOfZeroDoesNotSpin) {
    Scm().Configure({.state = kRunning, .waitHintMs = 0, .stopTakesMs = 1000});
    CWIAControl wia;
    EXPECT_TRUE(wia.StopWia());
    EXPECT_LE(h_.os().Faults().CallsOf("QueryServiceStatus"), 15u);
}

TEST_F(WiaTest, NoAccessToTheServiceManager) {
    Scm().Configure({.state = kRunning, .accessDenied = true});
    CWIAControl wia;
    EXPECT_FALSE(wia.StopWia());
    EXPECT_FALSE(wia.StartWia());
    EXPECT_FALSE(wia.IsWiaRunning());
    EXPECT_FALSE(wia.IsWiaDisabled());
    EXPECT_THAT(Scm().History(), ElementsAre());
}

TEST_F(WiaTest, StartWiaByStartingState) {
    struct Case {
        const char* what;
        Behaviour service;
        bool result;
        std::vector<std::string> history;
        std::uint32_t state;
    };
    const Case cases[] = {
        {"running already: only the start type",
         {.state = kRunning, .startType = kDemand},
         true,
         {"start-type 2"},
         kRunning},
        {"stopped and disabled",
         {.state = kStopped, .startType = kDisabled, .startTakesMs = 2500},
         true,
         {"start-type 2", "start"},
         kRunning},
        {"refuses to start",
         {.state = kStopped, .startType = kDisabled, .startFails = true},
         false,
         {"start-type 2", "start"},
         kStopped},
        {"start never ends",
         {.state = kStopped, .startType = kDisabled, .startTakesMs = ServiceControlManager::kNever},
         false,
         {"start-type 2", "start"},
         platform::kServiceStartPending},
        {"stop still pending: no start request",
         {.state = platform::kServiceStopPending,
          .startType = kDisabled,
          .stopTakesMs = ServiceControlManager::kNever},
         true,
         {"start-type 2"},
         platform::kServiceStopPending},
    };
    for (const Case& c : cases) {
        AppHarness h;
        h.os().Scm().Configure(c.service);
        CWIAControl wia;
        std::uint64_t start = h.os().clock().NowMs();
        EXPECT_EQ(wia.StartWia(), c.result) << c.what;
        EXPECT_EQ(h.os().Scm().History(), c.history) << c.what;
        EXPECT_EQ(h.os().Scm().State(), c.state) << c.what;
        EXPECT_EQ(h.os().Scm().StartType(), kAuto) << c.what;
        EXPECT_LT(h.os().clock().NowMs() - start, 61000u + 5000u) << c.what;
    }
}

TEST_F(WiaTest, ClosedMeansDisabledAndNotRunning) {
    struct Case {
        Behaviour service;
        bool disabled, running;
    };
    const Case cases[] = {
        {{.state = kStopped, .startType = kDisabled}, true, false},
        {{.state = kRunning, .startType = kDisabled}, true, true},
        {{.state = kStopped, .startType = kAuto}, false, false},
        {{.state = platform::kServiceStopPending,
          .startType = kDisabled,
          .stopTakesMs = ServiceControlManager::kNever},
         true,
         false},
    };
    for (const Case& c : cases) {
        Scm().Configure(c.service);
        CWIAControl wia;
        EXPECT_EQ(wia.IsWiaDisabled(), c.disabled);
        EXPECT_EQ(wia.IsWiaRunning(), c.running);
    }
}

TEST_F(WiaTest, ConfigurationThatCannotBeRead) {
    Scm().Configure({.state = kStopped, .startType = kDisabled});
    h_.os().Faults().Fail("QueryServiceConfig", 1, platform::kErrorAccessDenied);
    {
        CWIAControl wia;
        EXPECT_FALSE(wia.IsWiaDisabled());
    }
    h_.os().Faults().Fail("LocalAlloc", 1, platform::kErrorNotEnoughMemory);
    {
        CWIAControl wia;
        EXPECT_FALSE(wia.IsWiaDisabled());
    }
    h_.os().Faults().Fail("QueryServiceConfig", 3, 1450);  // the second read of the third call
    {
        CWIAControl wia;
        EXPECT_FALSE(wia.IsWiaDisabled());
    }
    h_.os().Faults().Fail("LocalAlloc", 2, platform::kErrorNotEnoughMemory);
    {
        CWIAControl wia;
        EXPECT_FALSE(wia.SetWiaStartType(kAuto)) << "fails without a console line";
    }
    EXPECT_EQ(
        h_.ConsoleText(),
        L"QueryServiceConfig failed (5)Memory allocation failed\nQueryServiceConfig failed (1450)");
}

}  // namespace

namespace {

TEST(WiaStart, UnreadableStatusIsNoSuccess) {
    AppHarness h;
    h.os().Scm().Configure(
        {.state = platform::kServiceStopped, .startType = platform::kServiceDisabled});
    // Reads: the start type's configuration opens the handles with a status read, then
    // StartWia reads the status to see whether the service runs.
    h.os().Faults().Fail("QueryServiceStatus", 2, platform::kErrorAccessDenied);
    CWIAControl wia;
    EXPECT_FALSE(wia.StartWia());
    EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceAutoStart);
    EXPECT_EQ(h.os().Scm().State(), platform::kServiceStopped);
}

}  // namespace
