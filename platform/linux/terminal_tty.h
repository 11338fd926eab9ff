// The process's terminal taken over for a full-screen window (raw input, alternate screen,
// hidden cursor) and given back: by Leave, at exit, and when SIGTERM, SIGINT or SIGHUP
// kill the process, so a killed program does not leave the shell without echo.
#pragma once

#include <string_view>

namespace standin::tty {

// Raw mode (no echo, no line editing, no signal keys: Ctrl-C arrives as a byte) when
// inFd is a terminal; the screen switch on outFd in any case.
void Enter(int inFd, int outFd);
// Gives the terminal back as Enter found it; does nothing when it is not taken.
void Leave();

struct Size {
    int columns = 80;
    int rows = 24;
};
// The terminal's size, 80x24 when it cannot be told.
Size WindowSize(int fd);

// Writes all of text, across short writes and interruptions.
void WriteAll(int fd, std::string_view text);

}  // namespace standin::tty
