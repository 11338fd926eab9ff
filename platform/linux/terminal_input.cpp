#include "platform/linux/terminal_input.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace standin {
namespace {

// How long a lone Esc waits for the rest of a sequence: terminals send a sequence in one
// write, so its bytes are never this far apart; a person cannot type that fast.
constexpr int kEscapeWaitMs = 40;
constexpr int kIdleMs = 200;

}  // namespace

void TerminalInput::Start(int fd, KeysHandler onKeys, std::function<void()> onIdle) {
    if (thread_.joinable() || pipe2(wake_, O_CLOEXEC) != 0) return;
    thread_ = std::thread([this, fd, onKeys = std::move(onKeys), onIdle = std::move(onIdle)] {
        Run(fd, onKeys, onIdle);
    });
}

void TerminalInput::Stop() {
    if (!thread_.joinable()) return;
    char byte = 0;
    while (write(wake_[1], &byte, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    close(wake_[0]);
    close(wake_[1]);
    wake_[0] = wake_[1] = -1;
}

void TerminalInput::Run(int fd, const KeysHandler& onKeys, const std::function<void()>& onIdle) {
    KeyDecoder decoder;
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (;;) {
        int n = poll(fds, 2, decoder.Pending() ? kEscapeWaitMs : kIdleMs);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if (n == 0) {
            if (std::vector<Key> keys = decoder.Flush(); !keys.empty()) onKeys(keys);
            onIdle();
            continue;
        }
        if (fds[0].revents == 0) continue;
        char buffer[256];
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            std::vector<Key> keys = decoder.Feed(std::string_view(buffer, got));
            if (!keys.empty()) onKeys(keys);
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            fds[0].fd = -1;  // The terminal is gone: only wait to be stopped.
        }
    }
}

}  // namespace standin
