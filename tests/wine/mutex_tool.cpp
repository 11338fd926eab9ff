// Named mutexes as another program holds them. "hold <name> <ready file>" creates and owns
// the mutex, writes the ready file and waits until it is killed; "free <name>" ends with 0
// when nobody holds the name, 1 when someone does.
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
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (mutex == nullptr) return 3;
    if (command == L"free") return existed ? 1 : 0;
    if (command != L"hold" || argc < 4 || existed) return 2;
    if (std::FILE* ready = _wfopen(argv[3], L"w")) std::fclose(ready);
    Sleep(INFINITE);
    return 0;
}
