// The main window drawn in a text terminal, driven by the keyboard.
#pragma once

#include <memory>

#include "platform/linux/screen.h"

namespace standin {
// A screen on the process's terminal (standard input and output must be a terminal).
std::unique_ptr<Screen> MakeTerminalScreen();
// The same on other descriptors (a pseudo-terminal in tests).
std::unique_ptr<Screen> MakeTerminalScreen(int inFd, int outFd);
}  // namespace standin
