#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "app/load_text.h"
#include "app/thread_language.h"
#include "app_harness.h"
#include "resource.h"

namespace {

using standin::DialogModel;

bool Enabled(const DialogModel& m, int id) {
    return m.controls.at(id).enabled;
}
const std::wstring& Text(const DialogModel& m, int id) {
    return m.controls.at(id).text;
}

TEST(MainWindow, FirstLookAfterStart) {
    AppHarness h;
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    DialogModel m = h.FirstShown();
    EXPECT_EQ(m.caption, L"Firmware Update Tool");
    EXPECT_EQ(Text(m, IDC_STATIC_TITLE), L"Firmware Update Tool [Ver: 0.3.61.0]");
    EXPECT_EQ(Text(m, IDC_STATIC_NAME_CAPTION), L"Device Name:");
    EXPECT_EQ(Text(m, IDC_STATIC_NAME), L"No Device");
    EXPECT_EQ(Text(m, IDC_STATIC_INTERFACE_CAPTION), L"Interface:");
    EXPECT_EQ(Text(m, IDC_STATIC_INTERFACE), L"");
    EXPECT_EQ(Text(m, IDC_STATIC_STATUS_CAPTION), L"Status:");
    EXPECT_EQ(Text(m, IDC_STATIC_STATUS), L"Device Not Found!!  Please Check.");
    EXPECT_EQ(Text(m, IDC_BTN_SEARCH), L"Search Device");
    EXPECT_EQ(Text(m, IDC_BTN_UPDATE), L"Update");
    EXPECT_EQ(Text(m, IDCANCEL), L"Close");
    EXPECT_TRUE(Enabled(m, IDC_BTN_SEARCH));
    EXPECT_FALSE(Enabled(m, IDC_BTN_UPDATE));
    EXPECT_TRUE(Enabled(m, IDCANCEL));
    EXPECT_FALSE(m.controls.at(IDC_LIST_DESTINATION).visible);
    EXPECT_EQ(m.iconId, IDR_MAINFRAME);

    ASSERT_EQ(m.columns.size(), 2u);
    EXPECT_EQ(m.columns[0], (std::pair<std::wstring, int>{L"DESTINATION", 120}));
    EXPECT_EQ(m.columns[1], (std::pair<std::wstring, int>{L"STATUS", 600}));
    ASSERT_EQ(m.rows.size(), 1u);
    EXPECT_EQ(m.rows[0].cells[0], L"USB");
    EXPECT_EQ(m.rows[0].cells[1], L"");
    EXPECT_FALSE(m.rows[0].checked);
    EXPECT_EQ(m.listStyle,
              platform::kListGridLines | platform::kListCheckBoxes | platform::kListFullRowSelect);
}

TEST(MainWindow, PlaceholderRowsOnlyForTheDevelopmentValue) {
    struct Case {
        std::optional<std::string> settings;
        std::size_t rows;
    };
    const Case cases[] = {
        {"[Development]\nSHOW_ALL_STRING=9999\n", 27},
        {"[Development]\nSHOW_ALL_STRING=75535\n", 27},  // low 16 bits are 9999
        {"[Development]\nSHOW_ALL_STRING=1\n", 1},
        {std::nullopt, 1},
    };
    for (const Case& c : cases) {
        AppHarness h({.settings = c.settings});
        h.StartWindow();
        ASSERT_TRUE(h.WaitForWindow());
        DialogModel m = h.Snapshot();
        ASSERT_EQ(m.rows.size(), c.rows);
        EXPECT_EQ(m.rows[0].cells[0], L"USB");
        for (std::size_t i = 1; i < m.rows.size(); ++i) EXPECT_EQ(m.rows[i].cells[0], L"IP");
        EXPECT_EQ(Text(m, IDC_STATIC_STATUS), L"Device Not Found!!  Please Check.");
    }
}

TEST(MainWindow, TitleWithoutVersionInformation) {
    AppHarness h({.fileVersion = std::nullopt});
    h.StartWindow();
    ASSERT_TRUE(h.WaitForWindow());
    EXPECT_EQ(Text(h.Snapshot(), IDC_STATIC_TITLE), L"Firmware Update Tool [Ver: ]");
}

TEST(MainWindow, LanguageSettingReachesEveryLabel) {
    AppHarness h({.settings = "[Development]\nLANG_ID=1028\n"});
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    DialogModel m = h.Snapshot();
    SetThreadLanguage(0x0404);
    EXPECT_EQ(m.caption, LoadText(257));
    EXPECT_EQ(Text(m, IDC_BTN_SEARCH), LoadText(262));
    EXPECT_EQ(Text(m, IDC_STATIC_NAME), LoadText(246));
    EXPECT_EQ(Text(m, IDC_STATIC_STATUS), LoadText(248));
    EXPECT_EQ(m.rows[0].cells[0], L"USB");
    EXPECT_NE(Text(m, IDC_BTN_SEARCH), L"Search Device");
    SetThreadLanguage(0);
}

TEST(MainWindow, OperationsFromWorkerThreadsActBeforeTheyReturn) {
    AppHarness h;
    h.StartWindow();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());  // the first search is over
    CFWUpdateDlg& dlg = h.dlg();
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&dlg, t] {
            for (int i = 0; i < 50; ++i) {
                std::wstring text =
                    L"worker " + std::to_wstring(t) + L" step " + std::to_wstring(i);
                dlg.SetStatusLabel(text);
                dlg.SetDeviceName(text);
                dlg.ShowDeviceLabels();
                dlg.EnableUpdateButton(i % 2 == 0);
            }
        });
    }
    for (auto& w : workers) w.join();

    std::thread([&dlg] {
        dlg.ShowRowStatus(0, L"Sending firmware...\n");
        EXPECT_EQ(dlg.GetRowStatus(0), L"Sending firmware...\n");
        dlg.SetReadyMark(0, true);
        EXPECT_TRUE(dlg.HasReadyMark(0));
        dlg.SetStatusLabel(L"label only");
        EXPECT_EQ(dlg.GetRowStatus(0), L"Sending firmware...\n");
        dlg.EnableSearchAndClose(false);
        dlg.SetInterfaceName(L"USB");
        dlg.ShowDeviceLabels();
    }).join();
    DialogModel m = h.Snapshot();
    EXPECT_EQ(Text(m, IDC_STATIC_STATUS), L"label only");
    EXPECT_EQ(Text(m, IDC_STATIC_INTERFACE), L"USB");
    EXPECT_TRUE(m.rows[0].checked);
    EXPECT_FALSE(Enabled(m, IDC_BTN_SEARCH));
    EXPECT_FALSE(Enabled(m, IDCANCEL));
    // ShowRowStatus writes the cell, then copies the cell into the label.
    auto cell = std::ranges::find(m.log, L"cell 0,1: Sending firmware...\n");
    ASSERT_NE(cell, m.log.end());
    EXPECT_EQ(*(cell + 1), L"text 1017: Sending firmware...\n");
}

TEST(MainWindow, ReadyMarkOnlyForRowsThatExist) {
    AppHarness h;
    h.StartWindow();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());  // the first search is over
    h.dlg().SetReadyMark(5, true);
    EXPECT_FALSE(h.dlg().HasReadyMark(5));
    EXPECT_FALSE(h.dlg().HasReadyMark(0));
    EXPECT_EQ(h.dlg().GetRowStatus(7), L"");
}

TEST(MainWindow, AnySlotUpdatingLooksAtEverySlot) {
    AppHarness h;
    h.StartWindow();
    ASSERT_TRUE(h.WaitForWindow());
    EXPECT_FALSE(h.dlg().AnySlotUpdating());
    h.dlg().slots[199].updateRunning = 1;
    EXPECT_TRUE(h.dlg().AnySlotUpdating());
    h.dlg().slots[199].updateRunning = 0;
}

TEST(MainWindow, UpdateWithoutReadyMarkExplainsAndGivesTheCommandsBack) {
    AppHarness h({.messageBoxPolicy = standin::DialogHost::MessageBoxPolicy::kWaitForDismiss});
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());  // the first search is over
    h.OnWindow([&] { h.os().Dialog()->EnableItem(IDC_BTN_UPDATE, true); });
    h.Click(IDC_BTN_UPDATE);
    DialogModel open = h.Snapshot();
    ASSERT_TRUE(open.messageBox.has_value());
    EXPECT_EQ(open.messageBox->text, L"Device Not Found!!  Please Check.");
    EXPECT_EQ(open.messageBox->caption, L"FWUpdate");
    // The box is modal: the window is disabled behind it and clicks do nothing.
    EXPECT_FALSE(Enabled(open, IDC_BTN_SEARCH));
    h.Click(IDCANCEL);
    EXPECT_TRUE(h.Snapshot().messageBox.has_value());

    h.OnWindow([&] { h.os().Dialog()->DismissMessageBox(); });
    h.OnWindow([] {});
    DialogModel m = h.Snapshot();
    EXPECT_FALSE(m.messageBox.has_value());
    EXPECT_TRUE(Enabled(m, IDC_BTN_SEARCH));
    EXPECT_TRUE(Enabled(m, IDCANCEL));
    EXPECT_FALSE(Enabled(m, IDC_BTN_UPDATE));
}

TEST(MainWindow, SearchDeviceDisablesEverythingWhileItWorks) {
    AppHarness h;
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());  // the first search, on the service thread, is over
    std::size_t before = h.Snapshot().log.size();
    h.Click(IDC_BTN_SEARCH);
    DialogModel m = h.Snapshot();
    std::vector<std::wstring> changes(m.log.begin() + static_cast<std::ptrdiff_t>(before),
                                      m.log.end());
    std::vector<std::wstring> enables;
    for (const auto& c : changes) {
        if (c.starts_with(L"enable ")) enables.push_back(c);
    }
    // The commands go off, the query (no scanner) turns Update off, Search and Close return.
    EXPECT_THAT(enables, testing::ElementsAre(L"enable 1025: 0", L"enable 1000: 0",
                                              L"enable 1144: 0", L"enable 2: 0", L"enable 1144: 0",
                                              L"enable 1000: 1", L"enable 2: 1"));
}

TEST(MainWindow, CloseEndsTheProgramThroughTheCancelThread) {
    AppHarness h({.args = {"-d"}});
    h.StartApp();
    ASSERT_TRUE(h.WaitForWindow());
    h.Click(IDCANCEL);
    ASSERT_TRUE(h.WaitForExit());
    DialogModel m = h.Snapshot();
    EXPECT_TRUE(m.ended);
    EXPECT_EQ(m.result, IDCANCEL);
    EXPECT_EQ(Text(m, IDC_STATIC_STATUS), L"Start WIA service...\n");
    EXPECT_FALSE(Enabled(m, IDC_BTN_SEARCH));
    EXPECT_FALSE(Enabled(m, IDCANCEL));
    EXPECT_THAT(h.ConsoleText(), testing::HasSubstr(L"[Cancel Button] Create Cancel Thread...\n"));
    EXPECT_EQ(h.os().StandInThreads().Running(), 0u);
    // The imaging service is given back: automatic and running.
    EXPECT_EQ(h.os().Scm().StartType(), platform::kServiceAutoStart);
    EXPECT_EQ(h.os().Scm().State(), platform::kServiceRunning);
}

TEST(MainWindow, SecondCloseStartsNoSecondCancelThread) {
    AppHarness h;
    h.os().process().OpenConsole();
    h.StartWindow();
    ASSERT_TRUE(h.WaitForWindow());
    // Both commands reach the window before the first cancel thread can end it.
    h.OnWindow([&] {
        h.dlg().OnClose();
        h.dlg().OnClose();
    });
    ASSERT_TRUE(h.WaitForExit());
    std::wstring console = h.ConsoleText();
    std::wstring line = L"[Cancel Button] Create Cancel Thread...\n";
    ASSERT_NE(console.find(line), std::wstring::npos);
    EXPECT_EQ(console.find(line), console.rfind(line));
}

TEST(MainWindow, OperationsAfterTheWindowEndedDoNothing) {
    AppHarness h;
    h.StartWindow();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());
    h.dlg().EndDialog(IDCANCEL);
    ASSERT_TRUE(h.WaitForExit());
    h.dlg().ShowRowStatus(0, L"late");
    h.dlg().EnableUpdateButton(true);
    EXPECT_EQ(h.dlg().GetRowStatus(0), L"");
    EXPECT_NE(Text(h.Snapshot(), IDC_STATIC_STATUS), L"late");
}

TEST(MainWindow, OkCommandDoesNothing) {
    AppHarness h;
    h.StartWindow();
    ASSERT_TRUE(h.WaitForWindow());
    ASSERT_TRUE(h.WaitForWorkers());
    std::size_t before = h.Snapshot().log.size();
    h.OnWindow([&] { h.dlg().OnCommand(IDOK); });
    DialogModel m = h.Snapshot();
    EXPECT_EQ(m.log.size(), before);
    EXPECT_FALSE(m.ended);
}

}  // namespace
