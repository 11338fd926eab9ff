// The Update command.
#include "app/fwupdate_dlg.h"
#include "app/load_text.h"

void CFWUpdateDlg::OnUpdate() {
    currentRow.store(0);
    DisableCommands();
    if (!HasReadyMark(0)) {
        Host().MessageBox(LoadText(248), ProgramName());
        if (!AnySlotUpdating()) EnableSearchAndClose(true);
        return;
    }
    // With the ready mark set, the update thread takes over from here.
}
