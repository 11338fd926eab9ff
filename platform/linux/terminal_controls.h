// How the keyboard works the window: focus among the buttons, hotkeys, the cancel key and
// the message box. Pure functions of the model, so the rules can be checked without a
// terminal.
#pragma once

#include "platform/linux/dialog_model.h"
#include "platform/linux/terminal_keys.h"

namespace standin {

// The fixed ASCII hotkey of a button (lower case), 0 if it has none. The same letters in
// every language: S = Search Device, U = Update, C = Close.
char HotkeyOf(int controlId);

// Whether the control takes the focus now: a visible, enabled button with a tab stop.
bool CanFocus(const DialogModel& model, int controlId);

// Where the focus starts, as a dialog gives it: the first control in tab order that can
// take it; 0 when none can.
int InitialFocus(const DialogModel& model);

// The focus after Tab (step +1) or Shift-Tab (step -1): the next control in tab order
// (wrapping) that can take it.
int MoveFocus(const DialogModel& model, int current, int step);

struct KeyOutcome {
    int focus = 0;
    int activate = 0;  // The control whose command the key delivers, 0 for none.
    bool dismissMessageBox = false;
};

// What a key does: while a message box is open only Enter, Space, Esc and Ctrl-C count
// (they close it). Otherwise Tab, Shift-Tab and the arrow keys move the focus, Enter and
// Space press the focused button, a hotkey presses its button (and takes the focus), and
// Esc and Ctrl-C are the cancel key (IDCANCEL, which the window ignores while Close is
// disabled). A focused button that got disabled keeps the focus without showing it, as
// on Windows: Enter then presses nothing, rather than a button the operator did not pick,
// and the focus shows again when the button is enabled again.
KeyOutcome InterpretKey(const DialogModel& model, int focus, const Key& key);

}  // namespace standin
