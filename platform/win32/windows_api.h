// <windows.h> for the Windows side of the seam. The API's "A/W" macros share their names
// with methods of the seam (WriteConsole, MessageBox, CreateMutex ...), so they are
// removed here and the wide functions are always called by their full names.
#pragma once

#include <windows.h>
// The rest of the API needs <windows.h> first.
#include <commctrl.h>
#include <winver.h>

#undef CreateMutex
#undef GetFileVersionInfo
#undef MessageBox
#undef OpenSCManager
#undef OpenService
#undef QueryServiceConfig
#undef StartService
#undef VerQueryValue
#undef WriteConsole

#include <string>
#include <string_view>

namespace win32 {

// The API wants terminated strings; the seam passes views.
inline std::wstring Terminated(std::wstring_view text) {
    return std::wstring(text);
}

}  // namespace win32
