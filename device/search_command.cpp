// The Search Device command.
#include "app/fwupdate_dlg.h"

void CFWUpdateDlg::OnSearchDevice() {
    DisableCommands();
    // The status query runs here, on the window's thread, once the device link exists.
    if (!AnySlotUpdating()) EnableSearchAndClose(true);
}
