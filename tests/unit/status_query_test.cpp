#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/load_text.h"
#include "app/thread_language.h"
#include "app/utf.h"
#include "app_harness.h"
#include "device/busy_locks.h"
#include "resource.h"
#include "scripted_device.h"

namespace {

using standin::DialogModel;

// The codes of the command blocks a device received, in order.
std::vector<int> Codes(const sim::VeloraDevice& device) {
    std::vector<int> codes;
    for (const auto& c : device.Record().commands) codes.push_back(c.code);
    return codes;
}

struct Outcome {
    int text;
    bool ready;
    bool update;
    std::wstring name;
    std::wstring interfaceName;
};

Outcome Seen(const DialogModel& m) {
    Outcome o;
    SetThreadLanguage(0x0409);
    o.text = 0;
    for (int id = 201; id <= 265; ++id) {
        if (LoadText(id) == m.rows[0].cells[1]) o.text = id;
    }
    o.ready = m.rows[0].checked;
    o.update = m.controls.at(IDC_BTN_UPDATE).enabled;
    o.name = m.controls.at(IDC_STATIC_NAME).text;
    o.interfaceName = m.controls.at(IDC_STATIC_INTERFACE).text;
    EXPECT_EQ(m.controls.at(IDC_STATIC_STATUS).text, m.rows[0].cells[1])
        << "the label shows the row";
    return o;
}

// The first search, run by the service thread when the window opens.
TEST(StatusQuery, FirstSearchByScenario) {
    struct Case {
        const char* scenario;
        Outcome expected;
        std::vector<int> codes;  // what the scanner was asked
    };
    const Case cases[] = {
        {"normal",
         {249, true, true, L"Norvik Velora (VLR-204718)", L"USB"},
         {0x10, 0x01, 0xE6, 0xE4}},
        {"current",
         {252, false, false, L"Norvik Velora (VLR-204718)", L"USB"},
         {0x10, 0x01, 0xE6, 0xE4}},
        {"recovery", {243, true, true, L"Norvik Velora ()", L"USB"}, {0x02}},
        {"recovery:recovery_state=0", {249, true, true, L"Norvik Velora ()", L"USB"}, {0x02}},
        {"busy",
         {250, false, false, L"Norvik Velora (VLR-204718)", L"USB"},
         {0x10, 0x01, 0xE6, 0xE4}},
        {"none", {248, false, false, L"No Device", L""}, {}},
        {"other-device",
         {249, true, true, L"Norvik Velora (VLR-204718)", L"USB"},
         {0x10, 0x01, 0xE6, 0xE4}},
        {"descriptor-fails",
         {249, true, true, L"Norvik Velora (VLR-204718)", L"USB"},
         {0x10, 0x01, 0xE6, 0xE4}},
        {"normal:ident=ABCDEFGHIJKLMN",
         {249, true, true, L"Norvik Velora (ABCDEFGHIJ)", L"USB"},
         {0x10, 0x01, 0xE6, 0xE4}},
        {"normal:ident=V\xC3\xA9lo",
         {249, true, true, L"Norvik Velora (V\u00e9lo)", L"USB"},
         {0x10, 0x01, 0xE6, 0xE4}},
    };
    for (const Case& c : cases) {
        AppHarness h;
        auto scanners = h.Scenario(c.scenario);
        h.StartApp();
        ASSERT_TRUE(h.WaitForWindow());
        ASSERT_TRUE(h.WaitForWorkers());
        Outcome seen = Seen(h.Snapshot());
        EXPECT_EQ(seen.text, c.expected.text) << c.scenario;
        EXPECT_EQ(seen.ready, c.expected.ready) << c.scenario;
        EXPECT_EQ(seen.update, c.expected.update) << c.scenario;
        EXPECT_EQ(seen.name, c.expected.name) << c.scenario;
        EXPECT_EQ(seen.interfaceName, c.expected.interfaceName) << c.scenario;
        if (!scanners.empty()) EXPECT_EQ(Codes(*scanners[0]), c.codes) << c.scenario;
        EXPECT_TRUE(h.Snapshot().controls.at(IDC_BTN_SEARCH).enabled) << c.scenario;
        h.Click(IDCANCEL);
        EXPECT_TRUE(h.WaitForExit()) << c.scenario;
    }
}

class QueryTest : public testing::Test {
  protected:
    void Open(const std::string& scenario) {
        scanners_ = h_.Scenario(scenario);
        h_.os().process().OpenConsole();
        h_.StartWindow();
        ASSERT_TRUE(h_.WaitForWindow());
        ASSERT_TRUE(h_.WaitForWorkers());
    }
    AppHarness h_;
    std::vector<std::shared_ptr<sim::VeloraDevice>> scanners_;
};

TEST_F(QueryTest, ResultIsTheDeviceState) {
    Open("busy");
    EXPECT_EQ(h_.dlg().GetDeviceStatus(0, 2), 4);
    EXPECT_THAT(h_.ConsoleText(),
                testing::HasSubstr(L"[GetDeviceStatus]: Check device status BUSY...\n"));
    h_.os().Driver().Unplug(0);
    EXPECT_EQ(h_.dlg().GetDeviceStatus(0, 2), -1);
    EXPECT_THAT(h_.ConsoleText(), testing::EndsWith(L"[GetDeviceStatus]: Device not found...\n"));
}

TEST_F(QueryTest, VantorApplicationHoldingTheScanner) {
    auto vantor = h_.HoldMutex(L"Global\\NORVIK_VANTOR_SUBSCRIPTION_MUTEX_Norvik Velora");
    Open("normal");
    Outcome seen = Seen(h_.Snapshot());
    EXPECT_EQ(seen.text, 247);
    EXPECT_FALSE(seen.update);
    EXPECT_EQ(seen.name, L"Norvik Velora ()");
    EXPECT_THAT(Codes(*scanners_[0]), testing::IsEmpty()) << "nothing is asked of a held scanner";
    std::uint64_t before = h_.os().clock().NowMs();
    EXPECT_EQ(h_.dlg().GetDeviceStatus(0, 2), -1);
    EXPECT_GE(h_.os().clock().NowMs() - before, 3000u) << "three attempts one second apart";
    vantor.reset();
    EXPECT_EQ(h_.dlg().GetDeviceStatus(0, 2), 0);
    EXPECT_EQ(Seen(h_.Snapshot()).text, 249);
}

TEST_F(QueryTest, LockIsTakenOnceAndKeptAcrossQueries) {
    Open("normal");
    EXPECT_TRUE(h_.dlg().HasVantorLock());
    std::uint64_t lookups = h_.os().Faults().CallsOf("SetupDiGetClassDevs");
    EXPECT_EQ(h_.dlg().GetDeviceStatus(0, 2), 0);
    EXPECT_EQ(h_.os().Faults().CallsOf("SetupDiGetClassDevs"), lookups);
}

TEST_F(QueryTest, FailedIdentificationAloneFailsTheQuery) {
    Open("normal");
    std::uint64_t writes = h_.os().Faults().CallsOf("WriteFile");
    // The identification request's data phase (the second read of the query).
    h_.os().Faults().Fail("ReadFile", h_.os().Faults().CallsOf("ReadFile") + 2,
                          platform::kErrorGenFailure);
    EXPECT_EQ(h_.dlg().GetDeviceStatus(0, 2), -1);
    Outcome seen = Seen(h_.Snapshot());
    EXPECT_EQ(seen.text, 212);
    EXPECT_FALSE(seen.ready);
    EXPECT_EQ(seen.name, L"Norvik Velora ()");
    std::wstring console = h_.ConsoleText();
    auto failed = console.find(L"\t[USB Error] 5-5-1-");
    auto versions = console.rfind(L"[GetDeviceStatus]: MB Ver:");
    ASSERT_NE(failed, std::wstring::npos);
    EXPECT_GT(versions, failed) << "the version request is still sent";
    EXPECT_GE(h_.os().Faults().CallsOf("WriteFile"), writes + 2);
    EXPECT_THAT(console, testing::HasSubstr(L"[GetDeviceStatus]: Check device status error...\n"));
}

TEST_F(QueryTest, UpdateButtonBelongsToARunningUpdate) {
    Open("busy");
    h_.OnWindow([&] { h_.os().Dialog()->EnableItem(IDC_BTN_UPDATE, true); });
    h_.dlg().slots[0].updateRunning = 1;
    EXPECT_EQ(h_.dlg().GetDeviceStatus(0, 2), 4);
    EXPECT_TRUE(h_.Snapshot().controls.at(IDC_BTN_UPDATE).enabled) << "busy leaves it alone";
    h_.os().Driver().Unplug(0);
    EXPECT_EQ(h_.dlg().GetDeviceStatus(0, 2), -1);
    EXPECT_FALSE(h_.Snapshot().controls.at(IDC_BTN_UPDATE).enabled) << "no device turns it off";
    h_.dlg().slots[0].updateRunning = 0;
}

TEST_F(QueryTest, StateOutsideTheTable) {
    Open("none");
    h_.os().Registry().AddDevice({{L"USB\\VID_7A5C&PID_3C21"}, L"{c}\\0000"});
    h_.os().Registry().SetMachineText(L"SYSTEM\\CurrentControlSet\\Control\\Class\\{c}\\0000",
                                      L"FriendlyName", L"Norvik Velora");
    // A device that answers every read with a counting pattern: state 0xA5A4.
    h_.os().Driver().Plug(0, std::make_shared<ScriptedDevice>());
    EXPECT_EQ(h_.dlg().GetDeviceStatus(0, 2), 0xA5A4);
    Outcome seen = Seen(h_.Snapshot());
    EXPECT_EQ(seen.text, 251);
    EXPECT_FALSE(seen.ready);
    EXPECT_THAT(
        h_.ConsoleText(),
        testing::HasSubstr(L"[GetDeviceStatus]: Check device status incorrect (42404)...\n"));
}

}  // namespace
