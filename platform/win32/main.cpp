// Entry point of the Windows program: install the Windows side of the seam, then run the
// application object, which does everything else.
#include "app/fwupdate_app.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    static win32::Platform windows;
    platform::Install(&windows);
    CFWUpdateApp app;
    app.InitInstance();
    return 0;
}
