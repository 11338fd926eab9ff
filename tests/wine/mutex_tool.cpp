// Named mutexes as another program holds them. "hold <name> <ready file> [<release file>]"
// creates and owns the mutex, writes the ready file and waits until it is killed or, when
// a release file is named, until that file exists: then it lets the name go and ends.
// "free <name>" prints "free" and ends with 0 when nobody holds the name, prints "held" and
// ends with 1 when someone does. Any other exit code is a failure of the tool itself,
// never an answer.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: mutex_tool hold <name> <ready file> | free <name>\n");
        return 2;
    }
    const std::wstring command = argv[1];
    HANDLE mutex = CreateMutexW(nullptr, command == L"hold", argv[2]);
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        std::fwprintf(stderr, L"CreateMutexW failed: error %lu\n", error);
        return 3;
    }
    const bool existed = error == ERROR_ALREADY_EXISTS;
    if (command == L"free") {
        std::wprintf(existed ? L"held\n" : L"free\n");
        return existed ? 1 : 0;
    }
    if (command != L"hold" || argc < 4 || existed) return 2;
    if (std::FILE* ready = _wfopen(argv[3], L"w")) std::fclose(ready);
    if (argc < 5) Sleep(INFINITE);
    while (GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES) Sleep(20);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
