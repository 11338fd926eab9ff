// The state of the main window's controls on the stand-in platform: what a screen draws
// and what tests read. Touched only on the window's thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace standin {

enum class ControlKind { kButton, kLabel, kList };

struct Control {
    ControlKind kind = ControlKind::kLabel;
    std::wstring text;
    bool enabled = true;
    bool visible = true;
    bool tabStop = false;
};

struct ListRow {
    std::vector<std::wstring> cells;
    bool checked = false;
};

struct MessageBoxState {
    std::wstring text;
    std::wstring caption;
};

struct DialogModel {
    std::wstring caption;
    int iconId = 0;
    // Controls by id, and their tab order.
    std::map<int, Control> controls;
    std::vector<int> tabOrder;
    // The report list.
    std::vector<std::pair<std::wstring, int>> columns;
    std::vector<ListRow> rows;
    std::uint32_t listStyle = 0;
    std::optional<MessageBoxState> messageBox;
    bool ended = false;
    int result = 0;
    // Every change of a control, in order ("text 1017: Ready", "enable 1144: 0", ...), so
    // tests can check the sequence the operator saw and not only the end state.
    std::vector<std::wstring> log;

    // The dialog as its template describes it.
    static DialogModel FromTemplate(int templateId);
};

}  // namespace standin
