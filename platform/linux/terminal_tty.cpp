#include "platform/linux/terminal_tty.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iterator>

namespace standin::tty {
namespace {

// Alternate screen, hidden cursor, no wrap at the right edge (a full last column must not
// scroll the screen), cleared; and the reverse.
constexpr char kEnterScreen[] = "\x1b[?1049h\x1b[?25l\x1b[?7l\x1b[H\x1b[2J";
constexpr char kLeaveScreen[] = "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";
constexpr int kKillSignals[] = {SIGTERM, SIGINT, SIGHUP};

// What the signal handler reads: written only while g_taken is false.
termios g_saved{};
bool g_haveSaved = false;
int g_inFd = -1;
int g_outFd = -1;
struct sigaction g_previous[std::size(kKillSignals)];
std::atomic<bool> g_taken{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used in a signal handler");

// Async-signal-safe: write, tcsetattr and a lock-free atomic only.
void Restore() {
    if (!g_taken.exchange(false)) return;
    ssize_t written = write(g_outFd, kLeaveScreen, sizeof kLeaveScreen - 1);
    (void)written;
    if (g_haveSaved) tcsetattr(g_inFd, TCSANOW, &g_saved);
}

void RestorePreviousHandlers() {
    for (std::size_t i = 0; i < std::size(kKillSignals); ++i) {
        sigaction(kKillSignals[i], &g_previous[i], nullptr);
    }
}

// Gives the terminal back, then lets the signal do what it did before (kill, mostly).
void OnKillSignal(int signal) {
    int savedErrno = errno;
    Restore();
    RestorePreviousHandlers();
    raise(signal);
    errno = savedErrno;
}

void RestoreAtExit() {
    Restore();
}

}  // namespace

void Enter(int inFd, int outFd) {
    if (g_taken.load()) return;
    static const bool registered = std::atexit(RestoreAtExit) == 0;
    (void)registered;
    g_inFd = inFd;
    g_outFd = outFd;
    g_haveSaved = isatty(inFd) && tcgetattr(inFd, &g_saved) == 0;
    // The handlers and the mark come first: from the first change on, a kill restores.
    struct sigaction action {};
    action.sa_handler = OnKillSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kKillSignals); ++i) {
        sigaction(kKillSignals[i], &action, &g_previous[i]);
    }
    g_taken.store(true);
    if (g_haveSaved) {
        termios raw = g_saved;
        raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INLCR | IGNCR | ISTRIP | IXON);
        raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG | IEXTEN);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(inFd, TCSAFLUSH, &raw);
    }
    WriteAll(outFd, kEnterScreen);
}

void Leave() {
    if (!g_taken.load()) return;
    Restore();
    RestorePreviousHandlers();
}

Size WindowSize(int fd) {
    winsize ws{};
    if (ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        return Size{ws.ws_col, ws.ws_row};
    }
    return Size{};
}

void WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace standin::tty
