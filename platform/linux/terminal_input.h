// The keyboard reader: a thread that waits on the terminal, decodes keys and hands them
// on. It touches nothing of the window; the handlers it calls post to the window thread.
#pragma once

#include <functional>
#include <thread>
#include <vector>

#include "platform/linux/terminal_keys.h"

namespace standin {

class TerminalInput {
  public:
    using KeysHandler = std::function<void(const std::vector<Key>&)>;

    TerminalInput() = default;
    TerminalInput(const TerminalInput&) = delete;
    TerminalInput& operator=(const TerminalInput&) = delete;
    ~TerminalInput() { Stop(); }

    // onKeys gets the keys of each read; onIdle runs whenever nothing came for a while
    // (the screen looks for a changed terminal size then). Both on the reader thread.
    void Start(int fd, KeysHandler onKeys, std::function<void()> onIdle);
    // Wakes the reader and waits for it to end.
    void Stop();

  private:
    void Run(int fd, const KeysHandler& onKeys, const std::function<void()>& onIdle);

    std::thread thread_;
    int wake_[2] = {-1, -1};  // A pipe: a byte on it ends the reader at once.
};

}  // namespace standin
