#include <gtest/gtest.h>

#include "app_harness.h"
#include "platform/linux/named_mutex.h"

namespace {

TEST(Startup, ConsoleSwitchIsAPlainSubstringOfTheWholeCommandLine) {
    struct Case {
        const char* programDir;
        std::vector<std::string> args;
        bool console;
    };
    const Case cases[] = {
        {"bin", {}, false},      {"bin", {"-d"}, true}, {"bin", {"-D"}, false},
        {"bin", {"x-dy"}, true}, {"fw-dump", {}, true},  // the program's own path holds "-d"
        {"FW-Dump", {}, false},
    };
    for (const Case& c : cases) {
        AppHarness h({.args = c.args, .programDir = c.programDir});
        h.StartApp();
        ASSERT_TRUE(h.WaitForWindow());
        EXPECT_EQ(h.os().StandInProcess().ConsoleOpen(), c.console)
            << c.programDir << (c.args.empty() ? "" : " " + c.args[0]);
        h.Click(2);
        ASSERT_TRUE(h.WaitForExit());
    }
}

TEST(Startup, SecondCopyShowsTheMessageAndNoWindow) {
    AppHarness h({.args = {"-d"}});
    standin::NamedMutexes other(h.dir() / "kernel" / "global", h.dir() / "kernel" / "session");
    bool existed = false;
    auto running = other.Open(L"Global\\NORVIK_ZELT_APP_MUTEX", &existed);
    h.StartApp();
    ASSERT_TRUE(h.WaitForExit());
    EXPECT_EQ(h.AppMessageBoxes(),
              std::vector<std::wstring>{L"FWUpdate: The firmware update tool is already open."});
    EXPECT_EQ(h.os().Dialog(), nullptr);
    EXPECT_TRUE(h.os().StandInProcess().ConsoleOpen()) << "the console opens before the check";
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 0u);
}

TEST(Startup, FailingToCreateTheGuardCountsAsARunningCopy) {
    AppHarness h({.settings = "[Development]\nLANG_ID=1031\n"});
    h.os().Faults().Fail("CreateMutex", 1, platform::kErrorAccessDenied);
    h.StartApp();
    ASSERT_TRUE(h.WaitForExit());
    ASSERT_EQ(h.AppMessageBoxes().size(), 1u);
    EXPECT_NE(h.AppMessageBoxes()[0], L"FWUpdate: The firmware update tool is already open.")
        << "shown in the configured language";
    EXPECT_EQ(h.os().Dialog(), nullptr);
}

TEST(Startup, GuardIsHeldWhileTheWindowIsOpenAndGivenBackAfter) {
    AppHarness h;
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 1u);
    h.Click(2);
    ASSERT_TRUE(h.WaitForExit());
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 0u);
}

}  // namespace
