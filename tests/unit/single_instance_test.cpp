// The single-instance guard between real processes of the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "app_harness.h"
#include "child_process.h"
#include "platform/linux/named_mutex.h"

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kInstanceName[] = L"Global\\NORVIK_ZELT_APP_MUTEX";
// The program's own waits (the imaging service's stop and start) on a faster clock: the
// guard between processes is what these tests are about.
constexpr char kSpeed[] = "10";

class SingleInstance : public testing::Test {
  protected:
    SingleInstance()
        : dir_(MakeScratchDir()),
          mutexes_(dir_ / "global", dir_ / ("session-" + std::to_string(::getuid()))) {}
    ~SingleInstance() override { std::filesystem::remove_all(dir_); }

    std::unique_ptr<ChildProcess> Start(std::vector<std::string> args = {}) {
        return std::make_unique<ChildProcess>(
            FWUPDATE_BINARY, args,
            std::map<std::string, std::string>{{"FWUPDATE_KERNEL_OBJECTS", dir_.string()},
                                               {"LC_ALL", "C"},
                                               {"FWUPDATE_SPEED", kSpeed}});
    }
    bool WaitForName(bool present) {
        auto until = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < until) {
            if (mutexes_.Exists(kInstanceName) == present) return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    std::filesystem::path dir_;
    standin::NamedMutexes mutexes_;
};

TEST_F(SingleInstance, SecondCopyExplainsAndEndsWhileTheFirstRunsOn) {
    auto first = Start();
    ASSERT_TRUE(WaitForName(true));

    auto second = Start();
    EXPECT_EQ(second->Wait(20s), 0);
    EXPECT_EQ(second->Stderr(), "[FWUpdate] The firmware update tool is already open.\n");
    EXPECT_TRUE(first->Running());
    EXPECT_TRUE(mutexes_.Exists(kInstanceName));

    first->Send("C");  // Close
    EXPECT_EQ(first->Wait(20s), 0);
    EXPECT_TRUE(WaitForName(false));
}

TEST_F(SingleInstance, NameDisappearsWhenItsHolderCrashes) {
    auto first = Start();
    ASSERT_TRUE(WaitForName(true));
    first->Kill(SIGKILL);
    first->Wait(20s);
    EXPECT_TRUE(WaitForName(false));

    auto next = Start();
    ASSERT_TRUE(WaitForName(true));
    EXPECT_EQ(next->Stderr(), "");
    next->Send("C");
    EXPECT_EQ(next->Wait(20s), 0);
}

TEST_F(SingleInstance, MessageInTheConfiguredLanguage) {
    auto first = Start();
    ASSERT_TRUE(WaitForName(true));
    auto second = std::make_unique<ChildProcess>(
        FWUPDATE_BINARY, std::vector<std::string>{"-d"},
        std::map<std::string, std::string>{{"FWUPDATE_KERNEL_OBJECTS", dir_.string()},
                                           {"LC_ALL", "de_DE.UTF-8"},
                                           {"FWUPDATE_SPEED", kSpeed}});
    EXPECT_EQ(second->Wait(20s), 0);
    EXPECT_THAT(second->Stderr(), testing::StartsWith("[FWUpdate] "));
    EXPECT_THAT(second->Stderr(), testing::Not(testing::HasSubstr("already open")));
    first->Send("C");
    EXPECT_EQ(first->Wait(20s), 0);
}

TEST(NamedMutexes, NameExistsWhileAnyHandleIsOpen) {
    auto dir = MakeScratchDir();
    standin::NamedMutexes mutexes(dir / "g", dir / "s");
    bool existed = true;
    auto a = mutexes.Open(L"Global\\NORVIK_SCAN_EXT_APP_MUTEX_Velora", &existed);
    EXPECT_FALSE(existed);
    auto b = mutexes.Open(L"Global\\NORVIK_SCAN_EXT_APP_MUTEX_Velora", &existed);
    EXPECT_TRUE(existed);
    auto other = mutexes.Open(L"Global\\NORVIK_SCAN_EXT_APP_MUTEX_velora", &existed);
    EXPECT_FALSE(existed) << "names are case sensitive";
    auto local = mutexes.Open(L"NORVIK_SCAN_EXT_APP_MUTEX_Velora", &existed);
    EXPECT_FALSE(existed) << "the session namespace is apart from the global one";
    a.reset();
    EXPECT_TRUE(mutexes.Exists(L"Global\\NORVIK_SCAN_EXT_APP_MUTEX_Velora"));
    b.reset();
    EXPECT_FALSE(mutexes.Exists(L"Global\\NORVIK_SCAN_EXT_APP_MUTEX_Velora"));
    std::filesystem::remove_all(dir);
}

}  // namespace
