#include "link/console.h"

#include <gtest/gtest.h>

#include <thread>

#include "app_harness.h"

namespace {

TEST(Console, NothingWithoutTheSwitch) {
    AppHarness h;
    PrintConsoleMessage(21);
    ConsolePrint(L"[GetDeviceStatus]: Device not found...\n");
    EXPECT_EQ(h.ConsoleText(), L"");
}

TEST(Console, NumberedMessagesAreFollowedByAnEmptyLine) {
    AppHarness h;
    h.os().process().OpenConsole();
    struct Case {
        int number;
        const wchar_t* printed;
    };
    const Case cases[] = {
        {21, L"USB timeout error!!\n\n"},
        {9, L"\n\n"},
        {1, L"Get device descriptor error!!\n\n"},
        {25, L"Request and return USB data size not matched!!\n\n"},
        {18, L""},  // holds no message
        {58, L""},
        {26, L""},
        {-1, L""},
    };
    std::wstring before;
    for (const Case& c : cases) {
        PrintConsoleMessage(c.number);
        std::wstring now = h.ConsoleText();
        EXPECT_EQ(now.substr(before.size()), c.printed) << c.number;
        before = now;
    }
}

TEST(Console, LinesOfSeveralThreadsComeOutWhole) {
    AppHarness h;
    h.os().process().OpenConsole();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                ConsolePrint(L"[Thread %d] line %d of a longer text\n", t, i);
        });
    }
    for (auto& t : threads) t.join();
    std::wstring text = h.ConsoleText();
    std::size_t lines = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find(L'\n', pos);
        ASSERT_NE(end, std::wstring::npos);
        std::wstring line = text.substr(pos, end - pos);
        EXPECT_TRUE(line.starts_with(L"[Thread ") && line.ends_with(L" of a longer text")) << line;
        ++lines;
        pos = end + 1;
    }
    EXPECT_EQ(lines, 800u);
}

}  // namespace
