// A stand-in for the still-image service that takes its time to stop: on a stop control it
// reports STOP_PENDING with a wait hint and a rising check point for <stop ms>, then stops.
// Every start, stop control and stop goes to the log with the system time in milliseconds
// since 1970, so that a test can set them against what the program did.
// Usage (as the service's command line): slow_service <log file> <wait hint ms> <stop ms>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

SERVICE_STATUS_HANDLE statusHandle;
SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};
const wchar_t* logPath;
DWORD waitHintMs;
DWORD stopMs;
HANDLE stopped;

void Log(const char* event) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const unsigned long long unixMs = ticks / 10000 - 11644473600000ull;
    if (std::FILE* file = _wfopen(logPath, L"ab")) {
        std::fprintf(file, "%s %llu\n", event, unixMs);
        std::fclose(file);
    }
}

void Report(DWORD state, DWORD checkPoint, DWORD waitHint) {
    status.dwCurrentState = state;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = waitHint;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI StopSlowly(void*) {
    const DWORD steps = stopMs / (waitHintMs ? waitHintMs : 1000);
    for (DWORD step = 1; step <= steps; ++step) {
        Sleep(stopMs / (steps ? steps : 1));
        Report(SERVICE_STOP_PENDING, step + 1, waitHintMs);
    }
    Log("stopped");
    Report(SERVICE_STOPPED, 0, 0);
    SetEvent(stopped);
    return 0;
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    if (control != SERVICE_CONTROL_STOP)
        return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
    if (status.dwCurrentState != SERVICE_RUNNING) return NO_ERROR;
    Log("stop-control");
    Report(SERVICE_STOP_PENDING, 1, waitHintMs);
    CloseHandle(CreateThread(nullptr, 0, StopSlowly, nullptr, 0, nullptr));
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
    statusHandle = RegisterServiceCtrlHandlerExW(L"stisvc", Handler, nullptr);
    if (!statusHandle) return;
    Log("start");
    Report(SERVICE_RUNNING, 0, 0);
    WaitForSingleObject(stopped, INFINITE);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    logPath = argv[1];
    waitHintMs = std::wcstoul(argv[2], nullptr, 10);
    stopMs = std::wcstoul(argv[3], nullptr, 10);
    stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wchar_t name[] = L"stisvc";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
