#include "app/text_format.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const wchar_t* name;
    std::wstring actual;
    const wchar_t* expected;
};

TEST(FormatText, ConversionsAsTheProgramUsesThem) {
    const Case cases[] = {
        {L"percent after a number", Format(L"Burning firmware... (%d%%)", 57),
         L"Burning firmware... (57%)"},
        {L"packed version", Format(L"%u.%02u", 3u, 5u), L"3.05"},
        {L"minor above 99", Format(L"%u.%02u", 0u, 111u), L"0.111"},
        {L"lower-case hex", Format(L"-0x%x", 0x7001u), L"-0x7001"},
        {L"upper-case bytes", Format(L"%02X%02X%02X%02X", 0x04, 0x09, 0x04, 0xB0), L"040904B0"},
        {L"negative decimal", Format(L"(%d)", -5), L"(-5)"},
        {L"unsigned taken as int", Format(L"%d", 0xFFFFFFFFu), L"-1"},
        {L"%u of a negative int", Format(L"%u", -1), L"4294967295"},
        {L"wide string", Format(L"Update Failed: %s", std::wstring(L"Busy")),
         L"Update Failed: Busy"},
        {L"narrow string as UTF-8", Format(L"FW Return Msg %s\n", "99999 \xC3\xA9"),
         L"FW Return Msg 99999 \u00e9\n"},
        {L"%ls and %S like %s", Format(L"%ls|%S", L"a", L"b"), L"a|b"},
        {L"precision cuts a string", Format(L"%.3s", L"abcdef"), L"abc"},
        {L"width and left alignment", Format(L"[%4d][%-4d][%04d]", 7, 7, 7), L"[   7][7   ][0007]"},
        {L"missing argument prints nothing", Format(L"a%sb%dc"), L"abc"},
        {L"unknown conversion stays", Format(L"%q %d", 1), L"%q 1"},
        {L"lone percent at the end", Format(L"50%"), L"50%"},
        {L"length modifiers ignored", Format(L"%lu %hd %zu", 1u, 2, 3u), L"1 2 3"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
}

TEST(FormatText, ArgumentTextIsNeverExpandedAgain) {
    // A failure text that holds a conversion of its own must come out literally.
    std::wstring detail = L"6-1-The %s handle %d is invalid";
    EXPECT_EQ(Format(L"\t[USB Error] %s\n", detail),
              L"\t[USB Error] 6-1-The %s handle %d is invalid\n");
}

TEST(FormatText, TypeMismatchIsHarmless) {
    EXPECT_EQ(Format(L"%d|%s", L"text", 5), L"0|");
}

}  // namespace
