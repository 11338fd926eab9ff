// The terminal rendition of the main window: text measure and wrapping, the composed
// frame, keys, focus, the console trace, and the screen itself on a pseudo-terminal.
#include "platform/linux/terminal_screen.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/utf.h"
#include "platform/linux/clocks.h"
#include "platform/linux/dialog_host.h"
#include "platform/linux/handle_table.h"
#include "platform/linux/terminal_canvas.h"
#include "platform/linux/terminal_char_width.h"
#include "platform/linux/terminal_console.h"
#include "platform/linux/terminal_controls.h"
#include "platform/linux/terminal_keys.h"
#include "platform/linux/terminal_layout.h"
#include "platform/linux/terminal_text.h"
#include "platform/linux/terminal_tty.h"
#include "platform/linux/threads.h"
#include "resource.h"

namespace standin {
namespace {

using Lines = std::vector<std::wstring>;

constexpr wchar_t kStatus217[] =
    L"FW Upgrade! Please wait...\nDuring firmware update, please make sure device power is "
    L"stable.\n";

// The texts of the window in one language, as the program sets them.
struct Language {
    const char* name;
    const wchar_t* title;
    const wchar_t* captions[3];
    const wchar_t* buttons[3];
    const wchar_t* status;
};

const Language kLanguages[] = {
    {"en-US",
     L"Firmware Update Tool [Ver: 0.3.61.0]",
     {L"Device Name:", L"Interface:", L"Status:"},
     {L"Search Device", L"Update", L"Close"},
     kStatus217},
    {"zh-Hans",
     L"固件更新工具 [版本: 0.3.61.0]",
     {L"设备名称：", L"接口：", L"状态："},
     {L"搜索设备", L"更新", L"关闭"},
     L"FW 升级！请稍候...\n固件更新期间，请确保设备电源稳定。\n"},
    {"ko",
     L"펌웨어 업데이트 도구 [버전: 0.3.61.0]",
     {L"장치 이름:", L"인터페이스:", L"상태:"},
     {L"장치 검색", L"업데이트", L"닫기"},
     L"FW 업그레이드! 잠시 기다려 주십시오...\n펌웨어 업데이트 중에는 장치 전원이 안정적인지 "
     L"확인하십시오.\n"},
    {"th",
     L"เครื่องมืออัปเดตเฟิร์มแวร์ [เวอร์ชัน: 0.3.61.0]",
     {L"ชื่ออุปกรณ์:", L"อินเทอร์เฟซ:", L"สถานะ:"},
     {L"ค้นหาอุปกรณ์", L"อัปเดต", L"ปิด"},
     L"อัปเกรด FW! โปรดรอสักครู่...\nระหว่างอัปเดตเฟิร์มแวร์ โปรดตรวจสอบให้แน่ใจว่าไฟของอุปกรณ์"
     L"เสถียร\n"},
    {"ar",
     L"أداة تحديث البرنامج الثابت [الإصدار: 0.3.61.0]",
     {L"اسم الجهاز:", L"الواجهة:", L"الحالة:"},
     {L"البحث عن الجهاز", L"تحديث", L"إغلاق"},
     L"ترقية FW! يرجى الانتظار...\nأثناء تحديث البرنامج الثابت، تأكد من استقرار التغذية "
     L"الكهربائية للجهاز.\n"},
    {"fr",
     L"Outil de mise à jour du micrologiciel [Ver : 0.3.61.0]",
     {L"Nom du périphérique :", L"Interface :", L"État :"},
     {L"Rechercher le périphérique", L"Mettre à jour", L"Fermer"},
     L"Mise à niveau du FW ! Veuillez patienter...\nPendant la mise à jour du micrologiciel, "
     L"assurez-vous que l'alimentation de l'appareil est stable.\n"},
};

DialogModel ModelIn(const Language& language) {
    DialogModel model = DialogModel::FromTemplate(IDD_FWUPDATE_DIALOG);
    model.controls[IDC_STATIC_TITLE].text = language.title;
    const int captions[] = {IDC_STATIC_NAME_CAPTION, IDC_STATIC_INTERFACE_CAPTION,
                            IDC_STATIC_STATUS_CAPTION};
    const int buttons[] = {IDC_BTN_SEARCH, IDC_BTN_UPDATE, IDCANCEL};
    for (int i = 0; i < 3; ++i) {
        model.controls[captions[i]].text = language.captions[i];
        model.controls[buttons[i]].text = language.buttons[i];
    }
    model.controls[IDC_STATIC_STATUS].text = language.status;
    return model;
}

DialogModel EnglishModel() {
    return ModelIn(kLanguages[0]);
}

// The display column where text starts in a row of the canvas, -1 if it is not there.
int ColumnOf(const TextCanvas& canvas, int row, std::wstring_view text) {
    std::wstring line = canvas.RowText(row);
    std::size_t at = line.find(text);
    return at == std::wstring::npos ? -1 : TextWidth(std::wstring_view(line).substr(0, at));
}

// The rows of terminal output as a terminal with wrap off shows them, text only. At the
// right edge the cursor stays on the last column: a clear to the end of the line there
// takes that column's character.
Lines ShownRows(const std::string& ansi, int columns) {
    struct Row {
        std::vector<std::wstring> cells;
        int width = 0;
    };
    std::vector<Row> rows;
    std::wstring text = Utf8ToWide(ansi);
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != L'\x1b') {
            std::size_t end = text.find(L'\x1b', i);
            for (const Cluster& c : SplitClusters(std::wstring_view(text).substr(i, end - i))) {
                if (rows.empty()) rows.emplace_back();
                if (rows.back().width + c.width > columns) continue;
                rows.back().cells.emplace_back(c.text);
                rows.back().width += c.width;
            }
            i = end == std::wstring::npos ? text.size() : end;
            continue;
        }
        std::size_t end = text.find_first_of(L"ABCDEFGHJKSTfmhlsu", i + 2);
        if (end == std::wstring::npos) break;
        if (text[end] == L'H') rows.emplace_back();  // Each row starts with a cursor move.
        if (text[end] == L'K' && !rows.empty() && rows.back().width == columns) {
            std::wstring& last = rows.back().cells.back();
            last = std::wstring(static_cast<std::size_t>(TextWidth(last)), L' ');
        }
        i = end + 1;
    }
    Lines shown;
    for (const Row& row : rows) {
        shown.emplace_back();
        for (const std::wstring& cell : row.cells) shown.back() += cell;
    }
    return shown;
}

// ---------------------------------------------------------------------------------------
// Measure, wrapping and clipping.

TEST(TerminalText, CharactersTakeTheColumnsTerminalsGiveThem) {
    struct Case {
        char32_t c;
        int width;
    };
    const Case cases[] = {
        {U'A', 1},      {U'é', 1},      {U'Ж', 1},          {U'ب', 1},      {U'อ', 1},  {U'…', 1},
        {U'─', 1},      {U'中', 2},     {U'한', 2},         {U'！', 2},     {U'，', 2}, {U'　', 2},
        {U'😀', 2},      {U'\u3400', 2}, {U'\U0002A6D7', 2}, {U'\u0301', 0},  // combining acute
        {U'\u064E', 0},                                                      // Arabic fatha
        {U'\u0E31', 0},                                                      // Thai mai han-akat
        {U'\u0E48', 0},                                                      // Thai mai ek (tone)
        {U'\u0E34', 0},                                                      // Thai sara i
        {U'\u200B', 0},                                                      // zero width space
        {U'\u1160', 0},  // conjoining Hangul vowel filler
        {U'\x1b', 0},   {U'\r', 0},     {U'\x85', 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CharWidth(c.c), c.width) << std::hex << static_cast<std::uint32_t>(c.c);
    }
}

TEST(TerminalText, TextWidthOfButtonTexts) {
    struct Case {
        const wchar_t* text;
        int width;
    };
    const Case cases[] = {
        {L"Search Device", 13}, {L"更新", 4},  {L"장치 검색", 9},       {L"อัปเดต", 5},
        {L"ค้นหาอุปกรณ์", 9},      {L"تحديث", 5}, {L"e\u0301te\u0301", 3},
    };
    for (const Case& c : cases) EXPECT_EQ(TextWidth(c.text), c.width) << WideToUtf8(c.text);
}

TEST(TerminalText, ClipKeepsWholeCharactersWithTheirMarks) {
    struct Case {
        const wchar_t* text;
        int width;
        const wchar_t* clipped;
    };
    const Case cases[] = {
        {L"Search Device", 6, L"Search"},
        {L"搜索设备", 5, L"搜索"},  // half a character does not fit
        {L"อัปเดต", 2, L"อัป"},       // the vowel mark stays on its consonant
        {L"abc", 0, L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClipToWidth(c.text, c.width), c.clipped) << WideToUtf8(c.text);
    }
}

TEST(TerminalText, WrapsLikeAMultiLineLabel) {
    struct Case {
        const char* what;
        const wchar_t* text;
        int width;
        int maxLines;
        Lines lines;
    };
    const Case cases[] = {
        {"a line feed per line, the last adds none",
         kStatus217,
         66,
         4,
         {L"FW Upgrade! Please wait...",
          L"During firmware update, please make sure device power is stable."}},
        {"words move to the next line",
         kStatus217,
         40,
         4,
         {L"FW Upgrade! Please wait...", L"During firmware update, please make sure",
          L"device power is stable."}},
        {"lines past the limit are cut off", L"a\nb\nc\nd\ne", 10, 4, {L"a", L"b", L"c", L"d"}},
        {"a long paragraph is cut at the limit too",
         kStatus217,
         20,
         2,
         {L"FW Upgrade! Please", L"wait..."}},
        {"CR LF and an empty line", L"a\r\n\r\nb", 10, 4, {L"a", L"", L"b"}},
        {"spaces collapse and trail off",
         L"  Please  reboot Scanner... \n",
         40,
         4,
         {L"Please reboot Scanner..."}},
        {"a word longer than a line is broken", L"abcdefghij", 4, 4, {L"abcd", L"efgh", L"ij"}},
        {"ideographs fill the line after a word",
         L"FW 升级！请稍候...",
         8,
         4,
         {L"FW 升级", L"！请稍候", L"..."}},
        {"a line may break between a word and an ideograph",
         L"a USB接口",
         6,
         4,
         {L"a USB", L"接口"}},
        {"ideographs break anywhere",
         L"固件更新期间，请确保设备电源稳定。",
         10,
         4,
         {L"固件更新期", L"间，请确保", L"设备电源稳", L"定。"}},
        {"a wide character never straddles the edge", L"ab中", 3, 4, {L"ab", L"中"}},
        {"Thai marks stay with their consonant", L"อัปเดต", 3, 4, {L"อัปเ", L"ดต"}},
        {"no room, no lines", L"text", 0, 4, {}},
        {"nothing, no lines", L"", 10, 4, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WrapText(c.text, c.width, c.maxLines), c.lines) << c.what;
    }
}

TEST(TerminalText, WrappedLinesFitTheirWidthInEveryLanguage) {
    for (const Language& language : kLanguages) {
        for (int width : {12, 25, 40, 66}) {
            for (const std::wstring& line : WrapText(language.status, width, 10)) {
                EXPECT_LE(TextWidth(line), width) << language.name << " " << WideToUtf8(line);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// The canvas.

TEST(TerminalCanvas, OverwritingHalfAWideCharacterBlanksTheOtherHalf) {
    struct Case {
        const char* what;
        int x;
        const wchar_t* text;
        const wchar_t* row;
    };
    const Case cases[] = {
        {"over the left half", 1, L"x", L"ax  cd"},
        {"over the right half", 2, L"x", L"a x cd"},  // 中 takes columns 1 and 2
        {"wide over wide, shifted", 2, L"文", L"a 文cd"},
        {"a wide character at the limit is left out", 4, L"字", L"a中 cd"},
    };
    for (const Case& c : cases) {
        TextCanvas canvas(6, 1);
        canvas.Put(0, 0, L"a中 cd", kPlain);
        canvas.Put(c.x, 0, c.text, kPlain, 5);
        EXPECT_EQ(canvas.RowText(0), c.row) << c.what;
        EXPECT_EQ(TextWidth(canvas.RowText(0)), 6) << c.what;
    }
}

TEST(TerminalCanvas, ControlCharactersInTextsNeverReachTheTerminal) {
    TextCanvas canvas(20, 1);
    canvas.Put(0, 0, L"a\x1b[2Jb\tc\r\x07\x9b", kPlain);
    EXPECT_EQ(canvas.RowText(0), L"a[2Jb c             ");
    EXPECT_EQ(canvas.ToAnsi().find("\x1b[2J"), std::string::npos);
}

// ---------------------------------------------------------------------------------------
// The window.

TEST(TerminalLayout, EveryRowHasTheTerminalsWidthInEveryLanguage) {
    for (const Language& language : kLanguages) {
        for (int columns : {kWindowMaxWidth, 120, 80, kWindowMinWidth, 40}) {
            DialogModel model = ModelIn(language);
            model.controls[IDC_STATIC_NAME].text = L"Velora 文档扫描仪 ภาษาไทย";
            model.messageBox = MessageBoxState{language.status, language.buttons[1]};
            Lines console = {language.status, L"搜索设备 100%"};
            TextCanvas canvas = ComposeScreen(model, IDC_BTN_SEARCH, console, columns, 24);
            std::string where = std::string(language.name) + " at " + std::to_string(columns);
            Lines shown = ShownRows(canvas.ToAnsi(), columns);
            ASSERT_EQ(shown.size(), 24u) << where;
            int window = WindowWidthFor(columns);
            for (int row = 0; row < 24; ++row) {
                EXPECT_EQ(TextWidth(shown[static_cast<std::size_t>(row)]), columns)
                    << where << ", row " << row;
                if (row >= kWindowHeight || window > columns) continue;
                // The window's right edge stays in its column, whatever the texts.
                const std::wstring& line = shown[static_cast<std::size_t>(row)];
                std::size_t edge = line.find_last_of(L"│┐┘");
                EXPECT_EQ(TextWidth(std::wstring_view(line).substr(0, edge)), window - 1)
                    << where << ", row " << row;
            }
        }
    }
}

TEST(TerminalLayout, WindowShowsTitleFieldsAndButtonsWhereTheDialogHasThem) {
    DialogModel model = EnglishModel();
    model.caption = L"Firmware Update Tool";
    model.controls[IDC_STATIC_NAME].text = L"Velora DS-200";
    model.controls[IDC_LIST_DESTINATION].text = L"DESTINATION";
    TextCanvas canvas = ComposeScreen(model, IDC_BTN_SEARCH, {}, 120, 24);
    EXPECT_EQ(canvas.RowText(0).substr(0, 25), L"┌─ Firmware Update Tool ─");
    EXPECT_EQ(ColumnOf(canvas, 1, L"Firmware Update Tool [Ver: 0.3.61.0]"), 2);
    struct Field {
        int row;
        const wchar_t* caption;
        const wchar_t* value;
        const wchar_t* button;
    };
    const Field fields[] = {{3, L"Device Name:", L"Velora DS-200", L"Search Device"},
                            {5, L"Interface:", L"USB", L"Update"},
                            {7, L"Status:", L"FW Upgrade! Please wait...", L"Close"}};
    int valueColumn = ColumnOf(canvas, 3, L"Velora DS-200");
    for (const Field& f : fields) {
        EXPECT_EQ(ColumnOf(canvas, f.row, f.caption), 2) << f.row;
        EXPECT_EQ(ColumnOf(canvas, f.row, f.value), valueColumn) << f.row;
        // Labels take about three quarters of the width, the buttons the rest.
        EXPECT_GT(ColumnOf(canvas, f.row, f.button), kWindowMaxWidth * 3 / 4) << f.row;
    }
    EXPECT_EQ(
        ColumnOf(canvas, 8, L"During firmware update, please make sure device power is stable."),
        valueColumn);
    EXPECT_EQ(canvas.RowText(9).find_first_not_of(L"│ "), std::wstring::npos);
    // The hidden report list is not drawn.
    for (int row = 0; row < 24; ++row) {
        EXPECT_EQ(canvas.RowText(row).find(L"DESTINATION"), std::wstring::npos) << row;
    }
}

TEST(TerminalLayout, StatusTakesFourLinesAtMostAndLeavesTheFrameWhole) {
    DialogModel model = EnglishModel();
    model.controls[IDC_STATIC_STATUS].text = L"one\ntwo\nthree\nfour\nfive\nsix";
    TextCanvas canvas = ComposeScreen(model, 0, {}, kWindowMaxWidth + 4, 24);
    int column = ColumnOf(canvas, 7, L"one");
    EXPECT_EQ(ColumnOf(canvas, 10, L"four"), column);
    EXPECT_EQ(canvas.RowText(11).find_first_not_of(L"└─┘"), kWindowMaxWidth);
    EXPECT_EQ(canvas.RowText(11).find(L"five"), std::wstring::npos);
}

TEST(TerminalLayout, LongTextsAreClippedBeforeTheButtons) {
    DialogModel model = EnglishModel();
    std::wstring longName(200, L'N');
    model.controls[IDC_STATIC_NAME].text = longName;
    model.controls[IDC_STATIC_TITLE].text = std::wstring(200, L'T');
    TextCanvas canvas = ComposeScreen(model, 0, {}, kWindowMaxWidth, 24);
    int button = ColumnOf(canvas, 3, L"[");
    EXPECT_LT(static_cast<int>(canvas.RowText(3).find_last_of(L'N')), button);
    EXPECT_LT(static_cast<int>(canvas.RowText(1).find_last_of(L'T')), button);
    EXPECT_GT(ColumnOf(canvas, 3, L"Search Device"), button);
}

TEST(TerminalLayout, ButtonsShowStateFocusAndHotkey) {
    DialogModel model = EnglishModel();  // Update starts disabled.
    TextCanvas canvas = ComposeScreen(model, IDC_BTN_SEARCH, {}, kWindowMaxWidth, 24);
    struct Case {
        int row;
        const wchar_t* text;
        std::uint8_t style;
    };
    const Case cases[] = {{3, L"Search Device", kReverse}, {5, L"Update", kGrey}, {7, L"Close", 0}};
    for (const Case& c : cases) {
        int column = ColumnOf(canvas, c.row, c.text);
        ASSERT_GE(column, 0) << c.row;
        int open = ColumnOf(canvas, c.row, L"[");
        for (int x = open; x < column + TextWidth(c.text) + 2; ++x) {
            EXPECT_EQ(canvas.StyleAt(x, c.row) & ~kUnderline, c.style) << c.row << " at " << x;
        }
        // The hotkey is the first letter of these texts.
        EXPECT_TRUE(canvas.StyleAt(column, c.row) & kUnderline) << c.row;
        EXPECT_FALSE(canvas.StyleAt(column + 1, c.row) & kUnderline) << c.row;
    }
    // And in the terminal's terms: reverse video, grey, underline.
    std::string ansi = canvas.ToAnsi();
    EXPECT_NE(ansi.find("\x1b[0;4;7mS\x1b[0;7mearch Device"), std::string::npos);
    EXPECT_NE(ansi.find("\x1b[0;90;4mU\x1b[0;90mpdate"), std::string::npos);
}

TEST(TerminalLayout, HotkeyIsMarkedInTheTextOrAppended) {
    struct Case {
        const wchar_t* text;
        char hotkey;
        int maxWidth;
        const wchar_t* label;
        int column;
    };
    const Case cases[] = {
        {L"Search Device", 's', 20, L"Search Device", 0},
        {L"Gerät suchen", 's', 20, L"Gerät suchen", 6},   // the word that starts with it
        {L"Disconnect", 'c', 20, L"Disconnect (C)", 12},  // not a word start
        {L"Aktualisieren", 'u', 20, L"Aktualisieren (U)", 15},
        {L"更新", 'u', 20, L"更新 (U)", 6},
        {L"ปิด", 'c', 20, L"ปิด (C)", 4},
        {L"Update", 'u', 3, L"Upd", 0},
        // Clipped, the hotkey stays in sight.
        {L"Rechercher le périphérique", 's', 12, L"Recherch (S)", 10},
        {L"Close\nline two", 'c', 20, L"Close", 0},
    };
    for (const Case& c : cases) {
        ButtonLabel label = MakeButtonLabel(c.text, c.hotkey, c.maxWidth);
        EXPECT_EQ(label.text, c.label) << WideToUtf8(c.text);
        EXPECT_EQ(label.hotkeyColumn, c.column) << WideToUtf8(c.text);
        EXPECT_LE(TextWidth(label.text), c.maxWidth) << WideToUtf8(c.text);
    }
}

TEST(TerminalLayout, MessageBoxIsDrawnCentredOverTheWindow) {
    DialogModel model = EnglishModel();
    model.messageBox = MessageBoxState{L"Update Failed: Check device status error!!", L"FWUpdate"};
    TextCanvas canvas = ComposeScreen(model, IDC_BTN_SEARCH, {}, kWindowMaxWidth, 24);
    int top = -1;
    for (int row = 0; row < kWindowHeight && top < 0; ++row) {
        if (canvas.RowText(row).find(L" FWUpdate ") != std::wstring::npos) top = row;
    }
    ASSERT_GE(top, 0);
    int text = ColumnOf(canvas, top + 1, L"Update Failed: Check device status error!!");
    int ok = ColumnOf(canvas, top + 3, L"[ OK ]");
    ASSERT_GE(text, 0);
    ASSERT_GE(ok, 0);
    int boxLeft = text - 2;
    int boxRight = text + TextWidth(L"Update Failed: Check device status error!!") + 1;
    EXPECT_NEAR(boxLeft, kWindowMaxWidth - 1 - boxRight, 1);
    EXPECT_NEAR(ok + 3, (boxLeft + boxRight) / 2, 1);
    EXPECT_EQ(canvas.StyleAt(ok, top + 3), kReverse);
    EXPECT_EQ(canvas.RowText(top + 4).substr(static_cast<std::size_t>(boxLeft), 2), L"└─");
    // The window under the box shows no focus: OK is the only button lit.
    for (int row = 0; row < kWindowHeight; ++row) {
        for (int x = 0; x < kWindowMaxWidth; ++x) {
            if (!(canvas.StyleAt(x, row) & kReverse)) continue;
            EXPECT_TRUE(row == top + 3 && x >= ok && x < ok + 6) << row << ", " << x;
        }
    }
}

TEST(TerminalLayout, ConsoleShowsTheNewestLinesUnderItsRule) {
    struct Case {
        const char* what;
        Lines console;
        int rows;
        Lines shown;  // From the row under the window on.
    };
    Lines thirty;
    for (int i = 1; i <= 30; ++i) thirty.push_back(L"line " + std::to_wstring(i));
    const Case cases[] = {
        {"no trace, no rule", {}, 16, {L"", L"", L"", L""}},
        {"the newest that fit",
         thirty,
         16,
         {L"── Console (-d) ─", L"line 28", L"line 29", L"line 30"}},
        {"a long line takes rows of its own",
         {L"old", std::wstring(50, L'x') + L"yz"},
         16,
         {L"── Console (-d) ─", L"old", std::wstring(50, L'x'), L"yz"}},
        {"no room below the window", thirty, kWindowHeight, {}},
    };
    for (const Case& c : cases) {
        TextCanvas canvas = ComposeScreen(EnglishModel(), 0, c.console, 50, c.rows);
        Lines shown;
        for (int row = kWindowHeight; row < c.rows; ++row) {
            std::wstring line = canvas.RowText(row);
            std::size_t end = line.find_last_not_of(L' ');
            line.resize(end == std::wstring::npos ? 0 : end + 1);
            if (line.size() > 17 && line.starts_with(L"── Console")) line.resize(17);
            shown.push_back(line);
        }
        EXPECT_EQ(shown, c.shown) << c.what;
    }
}

// ---------------------------------------------------------------------------------------
// Keys and focus.

TEST(TerminalKeys, BytesBecomeKeys) {
    using K = KeyCode;
    struct Case {
        const char* what;
        std::vector<std::string> reads;
        bool quietAfter;  // Nothing more comes: the reader's wait runs out.
        std::vector<Key> keys;
    };
    const Case cases[] = {
        {"a lone Esc, once nothing follows", {"\x1b"}, true, {{K::kEscape}}},
        {"a lone Esc waits for what may follow", {"\x1b"}, false, {}},
        {"Shift-Tab", {"\x1b[Z"}, false, {{K::kBackTab}}},
        {"Shift-Tab split over two reads", {"\x1b", "[Z"}, true, {{K::kBackTab}}},
        {"arrows, normal and application mode",
         {"\x1b[A\x1b[B\x1bOC\x1bOD"},
         false,
         {{K::kUp}, {K::kDown}, {K::kRight}, {K::kLeft}}},
        {"an arrow with modifiers", {"\x1b[1;5C"}, false, {{K::kRight}}},
        {"two Escs", {"\x1b\x1b"}, true, {{K::kEscape}, {K::kEscape}}},
        {"keys without a meaning here", {"\x1b[2~\x1b[15~\x1bOP"}, true, {}},
        {"an unfinished sequence is no Esc", {"\x1b[1;"}, true, {}},
        {"Tab, Enter, Space, Ctrl-C",
         {"\t\r \x03"},
         false,
         {{K::kTab}, {K::kEnter}, {K::kChar, ' '}, {K::kInterrupt}}},
        {"CR LF is one Enter", {"\r\n"}, false, {{K::kEnter}}},
        {"CR LF split is one Enter", {"\r", "\n"}, false, {{K::kEnter}}},
        {"LF alone and CR CR", {"\n\r\r"}, false, {{K::kEnter}, {K::kEnter}, {K::kEnter}}},
        {"letters", {"sU"}, false, {{K::kChar, 's'}, {K::kChar, 'U'}}},
        {"Alt with a letter is the letter", {"\x1bs"}, false, {{K::kChar, 's'}}},
        {"non-ASCII and other controls press nothing", {"\xc3\xa9\x01\x7f"}, false, {}},
        {"a malformed sequence gives the keys after it", {"\x1b[\x01s"}, false, {{K::kChar, 's'}}},
    };
    for (const Case& c : cases) {
        KeyDecoder decoder;
        std::vector<Key> keys;
        for (const std::string& read : c.reads) {
            for (const Key& k : decoder.Feed(read)) keys.push_back(k);
        }
        if (c.quietAfter) {
            for (const Key& k : decoder.Flush()) keys.push_back(k);
        }
        EXPECT_EQ(keys, c.keys) << c.what;
    }
}

TEST(TerminalControls, KeysMoveFocusPressButtonsAndCloseMessageBoxes) {
    using K = KeyCode;
    enum class State { kStart, kAllEnabled, kBusy, kSearchDisabled, kMessageBox };
    auto modelIn = [](State state) {
        DialogModel model = EnglishModel();  // Update disabled, the list hidden.
        if (state == State::kAllEnabled) model.controls[IDC_BTN_UPDATE].enabled = true;
        if (state == State::kBusy) {
            for (int id : {IDC_BTN_SEARCH, IDC_BTN_UPDATE, IDCANCEL}) {
                model.controls[id].enabled = false;
            }
        }
        if (state == State::kSearchDisabled) model.controls[IDC_BTN_SEARCH].enabled = false;
        if (state == State::kMessageBox) model.messageBox = MessageBoxState{L"Done", L"FWUpdate"};
        return model;
    };
    struct Case {
        const char* what;
        State state;
        int focus;
        Key key;
        int focusAfter;
        int activated;
        bool dismissed;
    };
    const int kSearch = IDC_BTN_SEARCH, kUpdate = IDC_BTN_UPDATE, kClose = IDCANCEL;
    const Case cases[] = {
        {"Tab skips the disabled button", State::kStart, kSearch, {K::kTab}, kClose, 0, false},
        {"Tab wraps past the hidden list", State::kStart, kClose, {K::kTab}, kSearch, 0, false},
        {"Shift-Tab goes back", State::kStart, kSearch, {K::kBackTab}, kClose, 0, false},
        {"Tab to an enabled button", State::kAllEnabled, kSearch, {K::kTab}, kUpdate, 0, false},
        {"Left goes back", State::kAllEnabled, kClose, {K::kLeft}, kUpdate, 0, false},
        {"Down goes on", State::kAllEnabled, kUpdate, {K::kDown}, kClose, 0, false},
        {"Tab with nothing enabled", State::kBusy, kSearch, {K::kTab}, 0, 0, false},
        {"Enter presses the focused button",
         State::kStart,
         kClose,
         {K::kEnter},
         kClose,
         kClose,
         false},
        {"Space presses the focused button",
         State::kStart,
         kSearch,
         {K::kChar, ' '},
         kSearch,
         kSearch,
         false},
        {"Enter on a button that got disabled presses nothing",
         State::kSearchDisabled,
         kSearch,
         {K::kEnter},
         kSearch,
         0,
         false},
        {"Tab from a button that got disabled",
         State::kSearchDisabled,
         kSearch,
         {K::kTab},
         kClose,
         0,
         false},
        {"a hotkey presses its button and takes the focus",
         State::kAllEnabled,
         kSearch,
         {K::kChar, 'U'},
         kUpdate,
         kUpdate,
         false},
        {"lower case too", State::kStart, kSearch, {K::kChar, 'c'}, kClose, kClose, false},
        {"a disabled button's hotkey does nothing",
         State::kStart,
         kSearch,
         {K::kChar, 'u'},
         kSearch,
         0,
         false},
        {"other letters do nothing", State::kStart, kSearch, {K::kChar, 'x'}, kSearch, 0, false},
        {"Esc is the cancel key", State::kStart, kSearch, {K::kEscape}, kSearch, kClose, false},
        {"Ctrl-C is the cancel key",
         State::kStart,
         kSearch,
         {K::kInterrupt},
         kSearch,
         kClose,
         false},
        {"Enter closes a message box", State::kMessageBox, kSearch, {K::kEnter}, kSearch, 0, true},
        {"Space closes a message box",
         State::kMessageBox,
         kSearch,
         {K::kChar, ' '},
         kSearch,
         0,
         true},
        {"Esc closes a message box", State::kMessageBox, kClose, {K::kEscape}, kClose, 0, true},
        {"a hotkey under a message box does nothing",
         State::kMessageBox,
         kSearch,
         {K::kChar, 's'},
         kSearch,
         0,
         false},
        {"Tab under a message box does nothing",
         State::kMessageBox,
         kSearch,
         {K::kTab},
         kSearch,
         0,
         false},
    };
    for (const Case& c : cases) {
        KeyOutcome out = InterpretKey(modelIn(c.state), c.focus, c.key);
        EXPECT_EQ(out.focus, c.focusAfter) << c.what;
        EXPECT_EQ(out.activate, c.activated) << c.what;
        EXPECT_EQ(out.dismissMessageBox, c.dismissed) << c.what;
    }
}

TEST(TerminalControls, FocusStartsOnTheFirstButtonThatCanTakeIt) {
    DialogModel model = EnglishModel();
    EXPECT_EQ(InitialFocus(model), IDC_BTN_SEARCH);
    model.controls[IDC_BTN_SEARCH].enabled = false;
    EXPECT_EQ(InitialFocus(model), IDCANCEL);
    model.controls[IDCANCEL].visible = false;
    EXPECT_EQ(InitialFocus(model), 0);
}

// ---------------------------------------------------------------------------------------
// The console trace.

TEST(TerminalConsole, KeepsLinesAndRewritesProgressLines) {
    struct Case {
        const char* what;
        std::vector<const wchar_t*> pieces;
        Lines lines;
    };
    const Case cases[] = {
        {"whole lines", {L"a\nb\n"}, {L"a", L"b"}},
        {"a line in pieces", {L"Sending", L" firmware..."}, {L"Sending firmware..."}},
        {"a progress line shows its last state", {L"10%\r", L"20%\r", L"30%"}, {L"30%"}},
        {"and stays when it ends",
         {L"Sending 10%\rSending 20%\n", L"done\n"},
         {L"Sending 20%", L"done"}},
        {"a shorter rewrite leaves nothing of the longer one",
         {L"100 bytes\r9 bytes\n"},
         {L"9 bytes"}},
        {"CR LF ends a line", {L"abc\r\n"}, {L"abc"}},
        {"CR LF split over two pieces", {L"abc\r", L"\n"}, {L"abc"}},
        {"empty lines count", {L"\n\n"}, {L"", L""}},
    };
    for (const Case& c : cases) {
        ConsoleRing ring;
        for (const wchar_t* piece : c.pieces) ring.Append(piece);
        EXPECT_EQ(ring.Lines(), c.lines) << c.what;
    }
}

TEST(TerminalConsole, KeepsOnlyTheNewestLines) {
    ConsoleRing ring(200);
    for (int i = 0; i < 205; ++i) ring.Append(std::to_wstring(i) + L"\n");
    ring.Append(L"partial");
    Lines lines = ring.Lines();
    ASSERT_EQ(lines.size(), 201u);
    EXPECT_EQ(lines.front(), L"5");
    EXPECT_EQ(lines[199], L"204");
    EXPECT_EQ(lines.back(), L"partial");
}

// ---------------------------------------------------------------------------------------
// The screen on a pseudo-terminal.

// A pseudo-terminal of 106x24 whose output is collected as it comes, by a thread of its
// own or, where the process must stay single-threaded (to fork), when asked for.
class Pty {
  public:
    enum class Reader { kThread, kOnDemand };
    explicit Pty(Reader reader = Reader::kThread) {
        winsize size{};
        size.ws_col = kWindowMaxWidth;
        size.ws_row = 24;
        if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) return;
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        if (reader == Reader::kThread) reader_ = std::thread([this] { Read(); });
    }
    ~Pty() {
        stop_ = true;
        if (reader_.joinable()) reader_.join();
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }
    bool Ok() const { return master_ >= 0 && slave_ >= 0; }
    int Slave() const { return slave_; }
    void Type(std::string_view bytes) { tty::WriteAll(master_, bytes); }
    std::string Output() {
        if (!reader_.joinable()) ReadAvailable(0);
        std::lock_guard lock(mutex_);
        return output_;
    }
    // Waits until the output from offset `from` on holds text; true if it came.
    bool WaitFor(const std::string& text, std::size_t from = 0) {
        return WaitUntil([&](const std::string& out) {
            return out.size() > from && out.find(text, from) != std::string::npos;
        });
    }
    bool WaitUntil(const std::function<bool(const std::string&)>& done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (done(Output())) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // Waits until the last frame drawn in full (every row of the terminal's width) passes.
    bool WaitForFrame(const std::function<bool(const std::string&)>& passes) {
        return WaitUntil([&](const std::string& out) {
            for (std::size_t start = out.rfind("\x1b[1;1H"); start != std::string::npos;
                 start = start == 0 ? std::string::npos : out.rfind("\x1b[1;1H", start - 1)) {
                std::string frame = out.substr(start, out.find("\x1b[1;1H", start + 1) - start);
                Lines rows = ShownRows(frame, kWindowMaxWidth);
                if (rows.size() == 24 && TextWidth(rows.back()) == kWindowMaxWidth) {
                    return passes(frame);
                }
            }
            return false;
        });
    }
    tcflag_t LocalFlags() const {
        termios t{};
        tcgetattr(slave_, &t);
        return t.c_lflag;
    }

  private:
    void Read() {
        while (!stop_) ReadAvailable(20);
    }
    void ReadAvailable(int waitMs) {
        pollfd fd{master_, POLLIN, 0};
        while (poll(&fd, 1, waitMs) > 0) {
            char buffer[4096];
            ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) return;
            std::lock_guard lock(mutex_);
            output_.append(buffer, static_cast<std::size_t>(n));
        }
    }
    int master_ = -1;
    int slave_ = -1;
    std::atomic<bool> stop_{false};
    std::thread reader_;
    std::mutex mutex_;
    std::string output_;
};

constexpr char kEnterScreen[] = "\x1b[?1049h";
constexpr char kLeaveScreen[] = "\x1b[?1049l";

// The program's side of the window: records commands; Search opens a message box, Close
// ends the dialog.
class RecordingEvents : public platform::DialogEvents {
  public:
    explicit RecordingEvents(DialogHost& host) : host_(host) {}
    void OnInitDialog() override { host_.SetItemText(IDC_STATIC_STATUS, L"Ready to go"); }
    void OnCommand(int id) override {
        {
            std::lock_guard lock(mutex_);
            commands_.push_back(id);
        }
        if (id == IDC_BTN_SEARCH) host_.MessageBox(L"Device found!!", L"FWUpdate");
        if (id == IDCANCEL) host_.EndDialog(IDCANCEL);
    }
    std::vector<int> Commands() {
        std::lock_guard lock(mutex_);
        return commands_;
    }

  private:
    DialogHost& host_;
    std::mutex mutex_;
    std::vector<int> commands_;
};

TEST(TerminalScreen, RunsTheWindowOnATerminalAndGivesTheTerminalBack) {
    Pty pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(pty.LocalFlags() & ECHO);
    ScaledRealClock clock;
    HandleTable handles;
    StepGate gate;
    FaultPlan faults(gate);
    Threads threads(handles, clock, faults, gate);
    std::unique_ptr<Screen> screen = MakeTerminalScreen(pty.Slave(), pty.Slave());
    screen->AppendConsole(L"trace before the window\n");
    DialogHost host(IDD_FWUPDATE_DIALOG, clock, threads, screen.get(),
                    DialogHost::MessageBoxPolicy::kWaitForDismiss);
    RecordingEvents events(host);
    std::atomic<int> result{-1};
    std::thread window([&] { result = host.RunModal(events); });
    // Should a step fail, the window is closed all the same before the test ends.
    struct Closer {
        DialogHost& host;
        std::thread& window;
        ~Closer() {
            if (!window.joinable()) return;
            host.EndDialog(IDCANCEL);
            window.join();
        }
    } closer{host, window};

    auto shows = [](const char* text) {
        return [text](const std::string& frame) { return frame.find(text) != std::string::npos; };
    };
    // The trace from before the window is in the terminal's own screen and in the window.
    ASSERT_TRUE(pty.WaitForFrame(shows("Ready to go")));
    std::string out = pty.Output();
    EXPECT_LT(out.find("trace before the window"), out.find(kEnterScreen));
    EXPECT_TRUE(pty.WaitForFrame(shows("trace before the window")));
    tcflag_t raw = pty.LocalFlags();
    EXPECT_FALSE(raw & (ECHO | ICANON | ISIG));

    // A trace line from another thread is drawn without anything else changing.
    std::thread([&] { screen->AppendConsole(L"Sending firmware... 50%\r"); }).join();
    EXPECT_TRUE(pty.WaitForFrame(shows("Sending firmware... 50%")));

    // Update is disabled: its hotkey does nothing; Search opens a message box, which
    // ignores hotkeys and Esc closes.
    pty.Type("u");
    pty.Type("s");
    ASSERT_TRUE(pty.WaitForFrame(shows("[ OK ]")));
    pty.Type("c");
    pty.Type("\x1b");
    EXPECT_TRUE(pty.WaitForFrame(
        [](const std::string& frame) { return frame.find("[ OK ]") == std::string::npos; }));
    EXPECT_EQ(events.Commands(), std::vector<int>{IDC_BTN_SEARCH});

    // Ctrl-C is the cancel key: the window closes through Close, the process lives on.
    pty.Type("\x03");
    window.join();
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(events.Commands(), (std::vector<int>{IDC_BTN_SEARCH, IDCANCEL}));
    ASSERT_TRUE(pty.WaitFor(kLeaveScreen));
    ASSERT_TRUE(pty.WaitFor("Sending firmware... 50%\r\n", pty.Output().find(kLeaveScreen)));
    EXPECT_TRUE(pty.LocalFlags() & ECHO);
    EXPECT_TRUE(pty.LocalFlags() & ICANON);
    // What the window's screen hid is repeated in the terminal's own, nothing more.
    out = pty.Output();
    std::string after = out.substr(out.find(kLeaveScreen) + std::strlen(kLeaveScreen));
    EXPECT_EQ(after, "Sending firmware... 50%\r\n");

    // After the window, the trace goes on in the terminal's own screen.
    std::size_t mark = pty.Output().size();
    screen->AppendConsole(L"Start WIA service...\n");
    EXPECT_TRUE(pty.WaitFor("Start WIA service...", mark));
}

TEST(TerminalScreen, TerminalIsGivenBackWhenTheProcessIsKilled) {
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        Pty pty(Pty::Reader::kOnDemand);
        ASSERT_TRUE(pty.Ok());
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            tty::Enter(pty.Slave(), pty.Slave());
            kill(getpid(), signal);
            // The signal kills within these sleeps (a sanitizer may hold it until a call).
            for (int i = 0; i < 200; ++i) usleep(10000);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
            << signal << ", status " << status;
        EXPECT_TRUE(pty.WaitFor(kLeaveScreen)) << signal;
        EXPECT_TRUE(pty.LocalFlags() & ECHO) << signal;
    }
}

}  // namespace
}  // namespace standin
