#include "device/busy_locks.h"

#include <gtest/gtest.h>

#include "app/load_text.h"
#include "app/utf.h"
#include "app_harness.h"
#include "device/friendly_name.h"
#include "platform/linux/device_registry.h"

namespace {

constexpr wchar_t kClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\";

// The window's device discovery and busy locks, without running the window.
class LocksTest : public testing::Test {
  protected:
    LocksTest() { dlg_ = std::make_unique<CFWUpdateDlg>(); }
    void AddScanner(const std::wstring& hardwareId, const std::wstring& key,
                    const std::optional<std::wstring>& friendlyName) {
        h_.os().Registry().AddDevice({{hardwareId, L"USB\\VID_7A5C&PID_3C21"}, key});
        if (friendlyName)
            h_.os().Registry().SetMachineText(kClassKey + key, L"FriendlyName", *friendlyName);
    }
    std::uint64_t Now() { return h_.os().clock().NowMs(); }

    AppHarness h_;
    std::unique_ptr<CFWUpdateDlg> dlg_;
};

TEST_F(LocksTest, FriendlyNameOfTheFirstMatchingDeviceThatHasOne) {
    h_.os().Registry().AddDevice({{L"USB\\VID_04A9&PID_1234"}, L"{c}\\0000"});
    h_.os().Registry().SetMachineText(std::wstring(kClassKey) + L"{c}\\0000", L"FriendlyName",
                                      L"Other");
    AddScanner(L"usb\\vid_7a5c&pid_3c21&rev_0100", L"{c}\\0001",
               std::nullopt);  // no name: passed over
    AddScanner(L"usb\\vid_7a5c&pid_3c21&rev_0100", L"{c}\\0002", L"Norvik Velora #2");
    AddScanner(L"USB\\VID_7A5C&PID_3C21", L"{c}\\0003", L"Norvik Velora #3");
    EXPECT_TRUE(dlg_->FindDeviceFriendlyName());
    EXPECT_EQ(dlg_->FriendlyName(), L"Norvik Velora #2");
}

TEST_F(LocksTest, FriendlyNamesThatDoNotFit) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> value;
        bool found;
    };
    const Case cases[] = {
        {"255 characters", standin::Utf16Bytes(std::wstring(255, L'N')), true},
        {"256 characters", standin::Utf16Bytes(std::wstring(256, L'N')), false},
        {"512 bytes without a zero", std::vector<std::uint8_t>(512, 'N'), false},
        {"an empty value", standin::Utf16Bytes(L""), true},
    };
    AddScanner(L"USB\\VID_7A5C&PID_3C21", L"{c}\\0000", std::nullopt);
    for (const Case& c : cases) {
        h_.os().Registry().SetMachineValue(std::wstring(kClassKey) + L"{c}\\0000", L"FriendlyName",
                                           c.value);
        EXPECT_EQ(dlg_->FindDeviceFriendlyName(), c.found) << c.what;
    }
}

TEST_F(LocksTest, FailedLookupKeepsTheLastName) {
    AddScanner(L"USB\\VID_7A5C&PID_3C21&REV_0100", L"{c}\\0000", L"Velora A");
    ASSERT_TRUE(dlg_->FindDeviceFriendlyName());
    h_.os().Registry().ClearDevices();
    EXPECT_FALSE(dlg_->FindDeviceFriendlyName());
    h_.os().Faults().Fail("SetupDiGetClassDevs", 1, platform::kErrorAccessDenied);
    EXPECT_FALSE(dlg_->FindDeviceFriendlyName());
    EXPECT_EQ(dlg_->FriendlyName(), L"Velora A");
}

TEST_F(LocksTest, LockIsObtainedOnlyWhenTheNameIsNew) {
    AddScanner(L"USB\\VID_7A5C&PID_3C21", L"{c}\\0000", L"Velora A");
    ASSERT_TRUE(dlg_->FindDeviceFriendlyName());
    EXPECT_TRUE(dlg_->AcquireBusyLock(BUSY_LOCK_SCAN_APP));
    std::uint64_t before = Now();
    EXPECT_FALSE(dlg_->AcquireBusyLock(BUSY_LOCK_SCAN_APP)) << "the tool's own lock counts too";
    EXPECT_EQ(Now() - before, 3000u) << "three attempts one second apart";
    EXPECT_FALSE(dlg_->AcquireBusyLock(3));
    EXPECT_FALSE(dlg_->AcquireBusyLock(-1));
    dlg_->ReleaseBusyLocks();
}

TEST_F(LocksTest, OtherApplicationsHoldingTheirLocks) {
    AddScanner(L"USB\\VID_7A5C&PID_3C21", L"{c}\\0000", L"Velora A");
    ASSERT_TRUE(dlg_->FindDeviceFriendlyName());
    struct Case {
        const wchar_t* held;
        int kind;
        bool obtained;
    };
    const Case cases[] = {
        {L"Global\\NORVIK_VANTOR_SUBSCRIPTION_MUTEX_Velora A", BUSY_LOCK_VANTOR, false},
        {L"Global\\NORVIK_VANTOR_SUBSCRIPTION_MUTEX_Velora B", BUSY_LOCK_VANTOR, true},
        {L"Global\\NORVIK_SCAN_EXT_APP_MUTEX_Velora A", BUSY_LOCK_SCAN_APP, false},
        {L"Global\\NORVIK_SCAN_EXT_APP_MUTEX_velora a", BUSY_LOCK_SCAN_APP, true},
        {L"{3D1E84A2-7C55-4B09-A1F3-52C9E6D07B48}", BUSY_LOCK_OSTRA, false},
        {L"Global\\{3D1E84A2-7C55-4B09-A1F3-52C9E6D07B48}", BUSY_LOCK_OSTRA, true},
    };
    for (const Case& c : cases) {
        auto other = h_.HoldMutex(c.held);
        EXPECT_EQ(dlg_->AcquireBusyLock(c.kind), c.obtained) << WideToUtf8(c.held);
        dlg_->ReleaseBusyLocks();
        other.reset();
        EXPECT_TRUE(dlg_->AcquireBusyLock(c.kind)) << "free again once the other let go";
        dlg_->ReleaseBusyLocks();
    }
}

TEST_F(LocksTest, NameThatWouldNotFitIsNotCut) {
    std::wstring name(255, L'V');
    AddScanner(L"USB\\VID_7A5C&PID_3C21", L"{c}\\0000", name);
    ASSERT_TRUE(dlg_->FindDeviceFriendlyName());
    std::uint64_t before = Now();
    EXPECT_FALSE(dlg_->AcquireBusyLock(BUSY_LOCK_VANTOR));
    EXPECT_EQ(Now(), before) << "no attempt is made";
    EXPECT_EQ(h_.os().Handles().Count(standin::ObjectKind::kMutex), 0u);
    EXPECT_TRUE(dlg_->AcquireBusyLock(BUSY_LOCK_OSTRA)) << "the Ostra name does not carry it";
    dlg_->ReleaseBusyLocks();
}

TEST_F(LocksTest, LockScanApplicationsShowsWhoHoldsTheScanner) {
    struct Case {
        const char* what;
        bool registered;
        const wchar_t* held;
        int text;
    };
    const Case cases[] = {
        {"no friendly name", false, nullptr, 240},
        {"Norvik Scan busy", true, L"Global\\NORVIK_SCAN_EXT_APP_MUTEX_Velora A", 239},
        {"Ostra busy", true, L"{3D1E84A2-7C55-4B09-A1F3-52C9E6D07B48}", 241},
        {"Vantor busy", true, L"Global\\NORVIK_VANTOR_SUBSCRIPTION_MUTEX_Velora A", 247},
    };
    for (const Case& c : cases) {
        AppHarness h;
        if (c.registered) {
            h.os().Registry().AddDevice({{L"USB\\VID_7A5C&PID_3C21"}, L"{c}\\0000"});
            h.os().Registry().SetMachineText(std::wstring(kClassKey) + L"{c}\\0000",
                                             L"FriendlyName", L"Velora A");
        }
        auto other = c.held ? h.HoldMutex(c.held) : nullptr;
        h.StartWindow();
        ASSERT_TRUE(h.WaitForWindow());
        ASSERT_TRUE(h.WaitForWorkers());
        EXPECT_FALSE(h.dlg().LockScanApplications()) << c.what;
        standin::DialogModel m = h.Snapshot();
        std::wstring expected = LoadText(c.text);
        EXPECT_EQ(m.rows[0].cells[1], expected) << c.what;
        EXPECT_EQ(m.controls[1017].text, expected) << c.what;
        h.dlg().ReleaseBusyLocks();
        EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 0u) << c.what;
        h.dlg().EndDialog(2);
    }
}

TEST_F(LocksTest, AllThreeLocksAndTheirRelease) {
    AddScanner(L"USB\\VID_7A5C&PID_3C21", L"{c}\\0000", L"Velora A");
    EXPECT_TRUE(dlg_->LockScanApplications());
    for (auto& slot : dlg_->busyGuard) EXPECT_TRUE(platform::IsValid(slot.load()));
    platform::Handle vantor = dlg_->busyGuard[BUSY_LOCK_VANTOR].load();
    EXPECT_TRUE(dlg_->LockScanApplications() == false) << "kinds 0 and 1 are still held";
    EXPECT_EQ(dlg_->busyGuard[BUSY_LOCK_VANTOR].load(), vantor) << "a held Vantor lock is kept";
    dlg_->ReleaseBusyLocks();
    for (auto& slot : dlg_->busyGuard) EXPECT_EQ(slot.load(), platform::kInvalidHandle);
    dlg_->ReleaseBusyLocks();
    EXPECT_EQ(h_.os().Handles().Count(standin::ObjectKind::kMutex), 0u);
    EXPECT_TRUE(dlg_->LockScanApplications()) << "every name was given back";
    dlg_->ReleaseBusyLocks();
}

}  // namespace
