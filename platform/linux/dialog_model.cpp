#include "platform/linux/dialog_model.h"

#include "resource.h"

namespace standin {

DialogModel DialogModel::FromTemplate(int templateId) {
    DialogModel model;
    if (templateId != IDD_FWUPDATE_DIALOG) return model;
    model.caption = L"Firmware Update Tool";
    auto add = [&](int id, ControlKind kind, const wchar_t* text, bool enabled, bool visible,
                   bool tabStop) {
        model.controls[id] = Control{kind, text, enabled, visible, tabStop};
        model.tabOrder.push_back(id);
    };
    add(IDC_LIST_DESTINATION, ControlKind::kList, L"", true, false, true);
    add(IDC_BTN_SEARCH, ControlKind::kButton, L"Search Device", true, true, true);
    add(IDC_BTN_UPDATE, ControlKind::kButton, L"Update", false, true, true);
    add(IDCANCEL, ControlKind::kButton, L"Close", true, true, true);
    add(IDC_STATIC_TITLE, ControlKind::kLabel, L"Firmware Update Tool [Ver: xxx.xxx.xxx.xxx]", true,
        true, false);
    add(IDC_STATIC_NAME_CAPTION, ControlKind::kLabel, L"Device Name:", true, true, false);
    add(IDC_STATIC_NAME, ControlKind::kLabel, L"No Device", true, true, false);
    add(IDC_STATIC_INTERFACE_CAPTION, ControlKind::kLabel, L"Interface:", true, true, false);
    add(IDC_STATIC_INTERFACE, ControlKind::kLabel, L"USB", true, true, false);
    add(IDC_STATIC_STATUS_CAPTION, ControlKind::kLabel, L"Status:", true, true, false);
    add(IDC_STATIC_STATUS, ControlKind::kLabel, L"Ready", true, true, false);
    return model;
}

}  // namespace standin
