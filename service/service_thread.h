// The service thread: stops and disables the imaging service in the background, then
// runs the status query unless the tool is being closed.
#pragma once

#include <cstdint>

class CFWUpdateDlg;

struct ServiceThreadParam {
    CFWUpdateDlg* dlg;
    std::int32_t eventNumber;
};

// Starts the thread and keeps its handle and id in the window.
void StartServiceThread(CFWUpdateDlg& dlg, std::int32_t eventNumber);

std::uint32_t ServiceThread(ServiceThreadParam param);
