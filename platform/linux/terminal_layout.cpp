#include "platform/linux/terminal_layout.h"

#include <algorithm>

#include "platform/linux/terminal_controls.h"
#include "platform/linux/terminal_text.h"
#include "resource.h"

namespace standin {
namespace {

constexpr int kMargin = 2;  // Border and one blank column, each side.
constexpr int kButtonIds[] = {IDC_BTN_SEARCH, IDC_BTN_UPDATE, IDCANCEL};
// Caption label, value label and the row they share; the button beside them shares it too.
constexpr struct {
    int caption;
    int value;
    int row;
} kFields[] = {{IDC_STATIC_NAME_CAPTION, IDC_STATIC_NAME, 3},
               {IDC_STATIC_INTERFACE_CAPTION, IDC_STATIC_INTERFACE, 5},
               {IDC_STATIC_STATUS_CAPTION, IDC_STATIC_STATUS, 7}};
constexpr int kTitleRow = 1;
constexpr int kMessageLines = 8;

const Control* Visible(const DialogModel& model, int id) {
    auto it = model.controls.find(id);
    return it != model.controls.end() && it->second.visible ? &it->second : nullptr;
}

std::uint8_t LabelStyle(const Control& c) {
    return c.enabled ? kPlain : kGrey;
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// A text with a title set into the top edge of a box: "┌─ Title ───┐".
void PutEdgeTitle(TextCanvas& canvas, int x, int y, int width, std::wstring_view title) {
    if (title.empty() || width < 8) return;
    int end = canvas.Put(x + 3, y, FirstLine(title), kBold, x + width - 3);
    canvas.Fill(x + 2, y, 1, L' ', kPlain);
    canvas.Fill(end, y, 1, L' ', kPlain);
}

void DrawButton(TextCanvas& canvas, int x, int y, int width, const Control& c, int id,
                bool focused) {
    std::uint8_t style = !c.enabled ? kGrey : focused ? kReverse : kPlain;
    int inner = width - 4;
    ButtonLabel label = MakeButtonLabel(c.text, HotkeyOf(id), inner);
    int start = x + 2 + std::max(0, (inner - TextWidth(label.text)) / 2);
    canvas.Fill(x, y, width, L' ', style);
    canvas.Fill(x, y, 1, L'[', style);
    canvas.Fill(x + width - 1, y, 1, L']', style);
    canvas.Put(start, y, label.text, style, x + width - 2);
    if (label.hotkeyColumn >= 0) canvas.AddStyle(start + label.hotkeyColumn, y, 1, kUnderline);
}

}  // namespace

int WindowWidthFor(int terminalColumns) {
    return std::clamp(terminalColumns, kWindowMinWidth, kWindowMaxWidth);
}

ButtonLabel MakeButtonLabel(std::wstring_view text, char hotkey, int maxWidth) {
    std::wstring_view base = FirstLine(text);
    if (hotkey == 0) return ButtonLabel{ClipToWidth(base, maxWidth), -1};
    for (std::size_t i = 0; i < base.size(); ++i) {
        bool wordStart = i == 0 || base[i - 1] == L' ';
        if (!wordStart || (base[i] != hotkey && base[i] != Upper(hotkey))) continue;
        std::wstring clipped = ClipToWidth(base, maxWidth);
        int column = TextWidth(base.substr(0, i));
        if (i < clipped.size()) return ButtonLabel{clipped, column};
        break;  // The letter is clipped away: mark the hotkey the other way.
    }
    std::wstring head = ClipToWidth(base, maxWidth - 4);
    int column = TextWidth(head) + 2;
    return ButtonLabel{head + L" (" + static_cast<wchar_t>(Upper(hotkey)) + L")", column};
}

void DrawWindow(TextCanvas& canvas, const DialogModel& model, int focusId, int width) {
    canvas.Box(0, 0, width, kWindowHeight);
    PutEdgeTitle(canvas, 0, 0, width, model.caption);

    int content = width - 2 * kMargin;
    // The button column fits the widest button and the caption column the widest caption,
    // within shares of the width that leave the values most of it.
    int buttonText = 0;
    for (int id : kButtonIds) {
        if (const Control* c = Visible(model, id)) {
            int text = TextWidth(MakeButtonLabel(c->text, HotkeyOf(id), 1 << 20).text);
            buttonText = std::max(buttonText, text);
        }
    }
    int buttonWidth = std::clamp(buttonText + 4, 12, std::max(12, content * 3 / 10));
    int captionText = 0;
    for (const auto& f : kFields) {
        if (const Control* c = Visible(model, f.caption)) {
            captionText = std::max(captionText, TextWidth(FirstLine(c->text)));
        }
    }
    int captionWidth = std::clamp(captionText + 2, 6, std::max(6, content / 4));
    int buttonX = kMargin + content - buttonWidth;
    int labelsEnd = buttonX - 2;
    int valueX = kMargin + captionWidth;

    if (const Control* title = Visible(model, IDC_STATIC_TITLE)) {
        canvas.Put(kMargin, kTitleRow, FirstLine(title->text), LabelStyle(*title), labelsEnd);
    }
    for (const auto& f : kFields) {
        if (const Control* c = Visible(model, f.caption)) {
            canvas.Put(kMargin, f.row, FirstLine(c->text), LabelStyle(*c), valueX - 1);
        }
        const Control* value = Visible(model, f.value);
        if (value == nullptr) continue;
        if (f.value == IDC_STATIC_STATUS) {
            std::vector<std::wstring> lines =
                WrapText(value->text, labelsEnd - valueX, kStatusLines);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                canvas.Put(valueX, f.row + static_cast<int>(i), lines[i], LabelStyle(*value),
                           labelsEnd);
            }
        } else {
            canvas.Put(valueX, f.row, FirstLine(value->text), LabelStyle(*value), labelsEnd);
        }
    }
    for (std::size_t i = 0; i < std::size(kButtonIds); ++i) {
        int id = kButtonIds[i];
        if (const Control* c = Visible(model, id)) {
            DrawButton(canvas, buttonX, kFields[i].row, buttonWidth, *c, id, id == focusId);
        }
    }
}

void DrawMessageBox(TextCanvas& canvas, const MessageBoxState& box, int windowWidth) {
    int wrapWidth = std::max(10, std::min(60, windowWidth - 10));
    std::vector<std::wstring> lines = WrapText(box.text, wrapWidth, kMessageLines);
    if (lines.empty()) lines.emplace_back();
    int textWidth = std::max(10, TextWidth(FirstLine(box.caption)) + 4);
    for (const std::wstring& line : lines) textWidth = std::max(textWidth, TextWidth(line));
    textWidth = std::min(textWidth, wrapWidth);
    int width = textWidth + 4;
    int height = static_cast<int>(lines.size()) + 4;
    int x = std::max(0, (windowWidth - width) / 2);
    int y = std::max(0, (kWindowHeight - height) / 2);
    canvas.Box(x, y, width, height);
    PutEdgeTitle(canvas, x, y, width, box.caption);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        canvas.Put(x + 2, y + 1 + static_cast<int>(i), lines[i], kPlain, x + width - 2);
    }
    constexpr std::wstring_view kOk = L"[ OK ]";
    canvas.Put(x + (width - static_cast<int>(kOk.size())) / 2, y + height - 2, kOk, kReverse);
}

void DrawConsole(TextCanvas& canvas, const std::vector<std::wstring>& lines, int top) {
    if (lines.empty() || top >= canvas.Height()) return;
    canvas.Fill(0, top, canvas.Width(), L'─', kPlain);
    canvas.Put(2, top, L" Console (-d) ", kPlain);
    int room = canvas.Height() - top - 1;
    // Broken (spaces kept: traces align columns) from the newest line back until the room
    // is full.
    std::vector<std::wstring> rows;
    for (auto it = lines.rbegin(); it != lines.rend() && static_cast<int>(rows.size()) < room;
         ++it) {
        std::vector<std::wstring> wrapped = BreakAtWidth(*it, canvas.Width());
        rows.insert(rows.begin(), wrapped.begin(), wrapped.end());
    }
    int skip = std::max(0, static_cast<int>(rows.size()) - room);
    for (int i = skip; i < static_cast<int>(rows.size()); ++i) {
        canvas.Put(0, top + 1 + i - skip, rows[static_cast<std::size_t>(i)], kPlain);
    }
}

TextCanvas ComposeScreen(const DialogModel& model, int focusId,
                         const std::vector<std::wstring>& console, int columns, int rows) {
    TextCanvas canvas(columns, rows);
    int width = WindowWidthFor(columns);
    // Under a message box the window is inactive: no button shows the focus.
    DrawWindow(canvas, model, model.messageBox ? 0 : focusId, width);
    DrawConsole(canvas, console, kWindowHeight);
    if (model.messageBox) DrawMessageBox(canvas, *model.messageBox, width);
    return canvas;
}

}  // namespace standin
