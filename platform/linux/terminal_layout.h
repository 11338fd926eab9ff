// The main window as terminal cells: a box with the caption in its top edge, the title,
// three "caption: value" rows at the left and the three buttons stacked at the right, as
// the dialog template places them; an open message box centred over it; the console
// trace below it.
#pragma once

#include <string>
#include <vector>

#include "platform/linux/dialog_model.h"
#include "platform/linux/terminal_canvas.h"

namespace standin {

constexpr int kWindowHeight = 12;
// Wide enough that an English two-line status (a 64-column line) shows unwrapped; a
// narrower terminal gets a narrower window down to kWindowMinWidth, then it is clipped.
constexpr int kWindowMaxWidth = 106;
constexpr int kWindowMinWidth = 60;
constexpr int kStatusLines = 4;

int WindowWidthFor(int terminalColumns);

// A button's text with its hotkey marked: the first word starting with the hotkey letter
// has it underlined (as on Windows); a text without such a word gets " (S)" appended.
// Clipped to maxWidth without losing the hotkey.
struct ButtonLabel {
    std::wstring text;
    int hotkeyColumn = -1;  // Where the hotkey is drawn, in columns from the text's start.
};
ButtonLabel MakeButtonLabel(std::wstring_view text, char hotkey, int maxWidth);

// Draws the window at the canvas' top left corner, focus on control focusId (0: none).
void DrawWindow(TextCanvas& canvas, const DialogModel& model, int focusId, int width);
void DrawMessageBox(TextCanvas& canvas, const MessageBoxState& box, int windowWidth);
// The last console lines that fit from row top down, under a "Console (-d)" rule;
// nothing when there are none.
void DrawConsole(TextCanvas& canvas, const std::vector<std::wstring>& lines, int top);

// The whole terminal: window, console and any message box.
TextCanvas ComposeScreen(const DialogModel& model, int focusId,
                         const std::vector<std::wstring>& console, int columns, int rows);

}  // namespace standin
