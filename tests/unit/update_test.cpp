// Whole updates against the simulated scanner, on virtual time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/load_text.h"
#include "app/text_format.h"
#include "app/thread_language.h"
#include "app_harness.h"
#include "resource.h"

namespace {

using testing::HasSubstr;

std::wstring English(int id) {
    SetThreadLanguage(0x0409);
    return LoadText(id);
}

std::wstring Failed(int id) {
    return Format(English(254), English(id));
}

// What must hold after every update, whatever its outcome.
void ExpectCleanEnd(AppHarness& h, const std::string& what) {
    standin::DialogModel m = h.Snapshot();
    EXPECT_TRUE(m.controls[IDC_BTN_SEARCH].enabled) << what;
    EXPECT_TRUE(m.controls[IDCANCEL].enabled) << what;
    EXPECT_FALSE(m.controls[IDC_BTN_UPDATE].enabled) << what;
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 1u)
        << what << ": busy locks given back";
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kDevice), 0u) << what;
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kEvent), 0u) << what;
    EXPECT_EQ(h.os().Driver().PendingTransfers(), 0u) << what;
    EXPECT_EQ(h.os().Driver().AbandonedPendingTransfers(), 0u) << what;
}

TEST(Update, OutcomeByScenario) {
    struct Case {
        const char* scenario;
        bool force;
        int text;     // the message of the outcome
        bool failed;  // shown as "Update Failed: <message>"
        int image;    // the image the scanner received, 0 for none
    };
    const Case cases[] = {
        {"normal", false, 253, false, 507},
        {"relay-uboot8", false, 253, false, 505},
        {"relay", false, 253, false, 506},
        {"recovery", false, 253, false, 507},
        {"burn-warning", false, 253, false, 507},
        // The second scanner keeps answering the presence probe while the first restarts.
        {"two-scanners", false, 235, true, 507},
        {"other-device", false, 253, false, 507},
        {"current", true, 252, true, 0},
        {"busy", true, 213, true, 0},
        {"burn-error", false, 220, true, 507},
        {"no-power-off", false, 235, true, 507},
        {"no-return", false, 234, true, 507},
        {"vanish", false, 216, true, 0},
        {"stall", false, 216, true, 0},
        {"none", true, 248, true, 0},
    };
    for (const Case& c : cases) {
        AppHarness h({.args = {"-d"}});
        h.UpdateWith(c.scenario, c.force);
        std::vector<int> received;
        for (const auto& scanner : h.Scanners()) {
            for (const auto& image : scanner->Record().images) {
                if (!image.accepted) continue;
                received.push_back(image.length == 13633428  ? 505
                                   : image.length == 8388608 ? 506
                                                             : 507);
                EXPECT_EQ(image.writes, 1u) << c.scenario << ": the image goes as one write";
            }
        }
        EXPECT_EQ(received, c.image ? std::vector<int>{c.image} : std::vector<int>{}) << c.scenario;
        std::wstring final = c.failed ? Failed(c.text) : English(c.text);
        EXPECT_EQ(h.Snapshot().controls[IDC_STATIC_STATUS].text, final) << c.scenario;
        ExpectCleanEnd(h, c.scenario);
        EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceAutoStart) << c.scenario;
        EXPECT_EQ(h.os().Scm().State(), platform::kServiceRunning) << c.scenario;
        h.Click(IDCANCEL);
        EXPECT_TRUE(h.WaitForExit()) << c.scenario;
    }
}

// The texts the operator sees during a normal update, in their order.
TEST(Update, WhatTheOperatorSees) {
    AppHarness h({.args = {"-d"}});
    h.UpdateWith("normal");
    std::vector<std::wstring> seen;
    for (const std::wstring& text : h.StatusHistory()) {
        std::wstring kind = text.starts_with(L"Burning firmware... (") ? L"progress" : text;
        if (seen.empty() || seen.back() != kind) seen.push_back(kind);
    }
    auto at = [&](const std::wstring& text) {
        return std::find(seen.begin(), seen.end(), text) - seen.begin();
    };
    std::vector<std::ptrdiff_t> order = {at(English(214)), at(English(217)), at(L"progress"),
                                         at(English(219)), at(English(233)), at(English(232)),
                                         at(English(238)), at(English(231)), at(English(253))};
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << testing::PrintToString(order);
    EXPECT_LT(order.back(), static_cast<std::ptrdiff_t>(seen.size()));

    // The device's own percentage, with one to three full stops by poll.
    std::vector<std::wstring> burning;
    for (const std::wstring& text : h.StatusHistory()) {
        if (text.starts_with(L"Burning firmware... (")) burning.push_back(text);
    }
    ASSERT_GE(burning.size(), 5u);
    EXPECT_THAT(burning[0], testing::EndsWith(L"%)."));
    EXPECT_THAT(burning[1], testing::EndsWith(L"%).."));
    EXPECT_THAT(burning[2], testing::EndsWith(L"%)..."));
    EXPECT_THAT(burning[3], testing::EndsWith(L"%)"));
    EXPECT_THAT(burning[4], testing::EndsWith(L"%)."));
    std::wstring console = h.ConsoleText();
    for (const wchar_t* line :
         {L"UBoot Version: (8)\n\n", L"The FW data transfer took ",
          L"Software sleep 6 seconds start...\n", L"The device update took ",
          L"The device power-off took ", L"The device power-on took ", L"The device ready took ",
          L"[Thread_MiraUpdate] Start WIA Finish!!\n"}) {
        EXPECT_THAT(console, HasSubstr(line));
    }
    EXPECT_EQ(h.Scanners()[0]->Status().mainBoardVersion, 0x3003Du) << "the scanner runs 3.61 now";
}

TEST(Update, RecoveryAsksNothingButTheStatusAndEndsAtOneHundred) {
    AppHarness h({.args = {"-d"}});
    h.UpdateWith("recovery");
    std::vector<int> codes;
    for (const auto& c : h.Scanners()[0]->Record().commands) codes.push_back(c.code);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x10), 0) << "no identification request";
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x01), 0) << "no version request";
    std::vector<std::wstring> percents;
    for (const std::wstring& text : h.StatusHistory()) {
        if (text.starts_with(L"Burning firmware... ("))
            percents.push_back(text.substr(0, text.find(L')') + 1));
    }
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), L"Burning firmware... (100%)");
    EXPECT_EQ(h.Snapshot().controls[IDC_STATIC_STATUS].text, English(253));
}

TEST(Update, ServiceThatWillNotStartAfterASuccessfulUpdate) {
    AppHarness h;
    h.Scenario("normal");
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());
    auto behaviour =
        standin::ServiceControlManager::Behaviour{.state = platform::kServiceStopped,
                                                  .startType = platform::kServiceDisabled,
                                                  .startFails = true};
    h.os().Scm().Configure(behaviour);
    h.Click(IDC_BTN_UPDATE);
    ASSERT_TRUE(h.WaitForWorkers());
    auto history = h.StatusHistory();
    ASSERT_GE(history.size(), 2u);
    EXPECT_EQ(history[history.size() - 2], English(227));
    EXPECT_EQ(history.back(), English(253)) << "the update itself succeeded";
    ExpectCleanEnd(h, "start fails");
}

TEST(Update, ServiceThatCannotBeStoppedFailsTheUpdateAfterOneHundredSeconds) {
    AppHarness h;
    h.Scenario("normal");
    h.os().Scm().Configure({.waitHintMs = 5000, .stopIgnored = true});
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());
    std::uint64_t start = h.os().clock().NowMs();
    h.ForceUpdate();
    ASSERT_TRUE(h.WaitForWorkers());
    EXPECT_GE(h.os().clock().NowMs() - start, 100000u);
    // The row keeps the outcome; a service thread still stopping may show 226 after it.
    EXPECT_EQ(h.Snapshot().rows[0].cells[1], Failed(226));
    EXPECT_THAT(h.os().Scm().History(), testing::Contains("start-type 2")) << "the start is tried";
    EXPECT_TRUE(h.Scanners()[0]->Record().commands.empty()) << "the scanner was never touched";
    ExpectCleanEnd(h, "stop ignored");
}

TEST(Update, ScanningApplicationHoldingTheScanner) {
    struct Case {
        const wchar_t* held;
        int text;
    };
    const Case cases[] = {
        {L"Global\\NORVIK_SCAN_EXT_APP_MUTEX_Norvik Velora", 239},
        {L"{3D1E84A2-7C55-4B09-A1F3-52C9E6D07B48}", 241},
    };
    for (const Case& c : cases) {
        AppHarness h;
        auto other = h.HoldMutex(c.held);
        h.UpdateWith("normal");
        EXPECT_EQ(h.Snapshot().controls[IDC_STATIC_STATUS].text, Failed(c.text));
        EXPECT_TRUE(h.Scanners()[0]->Record().images.empty());
        EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kMutex), 1u)
            << "our locks are given back";
    }
}

TEST(Update, SecondUpdateWaitsForTheFirstThreadAndStartsAnother) {
    AppHarness h({.args = {"-d"}});
    h.UpdateWith("current", true);
    h.ForceUpdate();
    ASSERT_TRUE(h.WaitForWorkers());
    h.OnWindow([] {});
    EXPECT_EQ(h.Snapshot().controls[IDC_STATIC_STATUS].text, Failed(252));
    EXPECT_THAT(h.ConsoleText(), testing::Not(HasSubstr(L"MiraUpdate Thread return")));
    EXPECT_EQ(h.os().Handles().Count(standin::ObjectKind::kThread), 1u)
        << "the first handle was closed";
}

}  // namespace
