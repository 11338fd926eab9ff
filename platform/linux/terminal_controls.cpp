#include "platform/linux/terminal_controls.h"

#include <algorithm>

#include "resource.h"

namespace standin {
namespace {

constexpr struct {
    int id;
    char key;
} kHotkeys[] = {{IDC_BTN_SEARCH, 's'}, {IDC_BTN_UPDATE, 'u'}, {IDCANCEL, 'c'}};

int ButtonForHotkey(char c) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const auto& h : kHotkeys) {
        if (h.key == c) return h.id;
    }
    return 0;
}

}  // namespace

char HotkeyOf(int controlId) {
    for (const auto& h : kHotkeys) {
        if (h.id == controlId) return h.key;
    }
    return 0;
}

bool CanFocus(const DialogModel& model, int controlId) {
    auto it = model.controls.find(controlId);
    if (it == model.controls.end()) return false;
    const Control& c = it->second;
    return c.kind == ControlKind::kButton && c.visible && c.enabled && c.tabStop;
}

int MoveFocus(const DialogModel& model, int current, int step) {
    const std::vector<int>& order = model.tabOrder;
    auto n = static_cast<int>(order.size());
    if (n == 0) return 0;
    auto it = std::find(order.begin(), order.end(), current);
    // From no focus, Tab starts at the first control and Shift-Tab at the last.
    int at = it == order.end() ? (step > 0 ? -1 : n) : static_cast<int>(it - order.begin());
    for (int k = 1; k <= n; ++k) {
        int i = ((at + step * k) % n + n) % n;
        if (CanFocus(model, order[static_cast<std::size_t>(i)])) {
            return order[static_cast<std::size_t>(i)];
        }
    }
    return 0;
}

int InitialFocus(const DialogModel& model) {
    return MoveFocus(model, 0, +1);
}

KeyOutcome InterpretKey(const DialogModel& model, int focus, const Key& key) {
    KeyOutcome out;
    out.focus = focus;
    bool press = key.code == KeyCode::kEnter || (key.code == KeyCode::kChar && key.ch == ' ');
    bool cancel = key.code == KeyCode::kEscape || key.code == KeyCode::kInterrupt;
    if (model.messageBox) {
        out.dismissMessageBox = press || cancel;
        return out;
    }
    switch (key.code) {
        case KeyCode::kTab:
        case KeyCode::kRight:
        case KeyCode::kDown:
            out.focus = MoveFocus(model, out.focus, +1);
            break;
        case KeyCode::kBackTab:
        case KeyCode::kLeft:
        case KeyCode::kUp:
            out.focus = MoveFocus(model, out.focus, -1);
            break;
        default:
            break;
    }
    if (press) {
        out.activate = CanFocus(model, out.focus) ? out.focus : 0;
    } else if (cancel) {
        out.activate = IDCANCEL;
    } else if (key.code == KeyCode::kChar) {
        int id = ButtonForHotkey(key.ch);
        if (id != 0 && CanFocus(model, id)) {
            out.focus = id;
            out.activate = id;
        }
    }
    return out;
}

}  // namespace standin
