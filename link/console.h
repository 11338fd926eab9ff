// The trace console: every line the program prints goes to standard output through here.
// Without "-d" there is no console and the lines go nowhere.
#pragma once

#include <string_view>

#include "app/text_format.h"

// Prints text as it is, never as a format.
void ConsolePrintText(std::wstring_view text);

template <typename... Args>
void ConsolePrint(std::wstring_view format, const Args&... args) {
    ConsolePrintText(Format(format, args...));
}

// Prints fixed console message number, followed by an empty line. Numbers without a
// message print nothing.
void PrintConsoleMessage(int number);

// The fixed message of a number, or null when the number holds none.
const wchar_t* ConsoleMessageText(int number);
