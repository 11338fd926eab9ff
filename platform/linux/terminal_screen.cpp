#include "platform/linux/terminal_screen.h"

#include <unistd.h>

#include <atomic>
#include <mutex>

#include "app/utf.h"
#include "platform/linux/terminal_console.h"
#include "platform/linux/terminal_controls.h"
#include "platform/linux/terminal_input.h"
#include "platform/linux/terminal_layout.h"
#include "platform/linux/terminal_tty.h"

namespace standin {
namespace {

class TerminalScreen : public Screen {
  public:
    TerminalScreen(int inFd, int outFd) : inFd_(inFd), outFd_(outFd) {}
    ~TerminalScreen() override { Stop(); }

    void Start(ScreenSink& sink) override {
        {
            std::lock_guard lock(mutex_);
            if (sink_ != nullptr) return;
            sink_ = &sink;
            hidden_ = ConsoleRing();
        }
        redrawPending_ = false;
        focus_ = 0;
        tty::Enter(inFd_, outFd_);
        lastSize_ = tty::WindowSize(outFd_);
        input_.Start(
            inFd_, [this](const std::vector<Key>& keys) { PostKeys(keys); },
            [this] { CheckSize(); });
    }

    void Render(const DialogModel& model) override {
        std::vector<std::wstring> console;
        {
            std::lock_guard lock(mutex_);
            if (sink_ == nullptr) return;
            console = console_.Lines();
        }
        if (focus_ == 0) focus_ = InitialFocus(model);
        int shown = CanFocus(model, focus_) ? focus_ : 0;
        tty::Size size = tty::WindowSize(outFd_);
        TextCanvas frame = ComposeScreen(model, shown, console, size.columns, size.rows);
        // One write of the whole frame: drawn over the last one, never cleared first.
        tty::WriteAll(outFd_, frame.ToAnsi());
    }

    void AppendConsole(std::wstring_view text) override {
        std::lock_guard lock(mutex_);
        console_.Append(text);
        if (sink_ == nullptr) {
            // No window on the terminal (not yet, or no more): its own screen shows the trace.
            tty::WriteAll(outFd_, WideToUtf8(text));
            return;
        }
        hidden_.Append(text);
        // One redraw pending at most: a burst of trace lines costs one frame.
        if (!redrawPending_.exchange(true)) sink_->Post([this] { redrawPending_ = false; });
    }

    void Stop() override {
        input_.Stop();
        std::lock_guard lock(mutex_);
        if (sink_ == nullptr) return;
        sink_ = nullptr;
        tty::Leave();
        // What the trace said while the window covered the terminal's screen goes there too.
        std::string trace;
        for (const std::wstring& line : hidden_.Lines()) trace += WideToUtf8(line) + "\n";
        tty::WriteAll(outFd_, trace);
        hidden_ = ConsoleRing();
    }

  private:
    // On the reader thread.
    void PostKeys(const std::vector<Key>& keys) {
        std::lock_guard lock(mutex_);
        if (sink_ != nullptr) sink_->Post([this, keys] { HandleKeys(keys); });
    }

    void CheckSize() {
        tty::Size size = tty::WindowSize(outFd_);
        if (size.columns == lastSize_.columns && size.rows == lastSize_.rows) return;
        lastSize_ = size;
        std::lock_guard lock(mutex_);
        if (sink_ != nullptr && !redrawPending_.exchange(true)) {
            sink_->Post([this] { redrawPending_ = false; });
        }
    }

    // On the window thread, the only one that touches the model.
    void HandleKeys(const std::vector<Key>& keys) {
        ScreenSink* sink = nullptr;
        {
            std::lock_guard lock(mutex_);
            sink = sink_;
        }
        if (sink == nullptr) return;
        for (const Key& key : keys) {
            if (sink->Model().ended) return;  // Keys typed ahead of the end press nothing.
            KeyOutcome outcome = InterpretKey(sink->Model(), focus_, key);
            focus_ = outcome.focus;
            if (outcome.dismissMessageBox) sink->DismissMessageBox();
            if (outcome.activate != 0) sink->Activate(outcome.activate);
        }
    }

    const int inFd_;
    const int outFd_;
    TerminalInput input_;
    tty::Size lastSize_;  // Reader thread only (set before it starts).
    int focus_ = 0;       // Window thread only.
    std::atomic<bool> redrawPending_{false};

    std::mutex mutex_;            // Guards what follows.
    ScreenSink* sink_ = nullptr;  // Set between Start and Stop.
    ConsoleRing console_;         // The trace the window shows.
    ConsoleRing hidden_;          // The trace written while the window covered the terminal.
};

}  // namespace

std::unique_ptr<Screen> MakeTerminalScreen() {
    return MakeTerminalScreen(STDIN_FILENO, STDOUT_FILENO);
}

std::unique_ptr<Screen> MakeTerminalScreen(int inFd, int outFd) {
    return std::make_unique<TerminalScreen>(inFd, outFd);
}

}  // namespace standin
