// The main window on the stand-in platform: a window thread that serves the dialog's
// events, calls from other threads and input, in the order they arrive.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/dialog_host.h"
#include "platform/linux/clocks.h"
#include "platform/linux/dialog_model.h"
#include "platform/linux/screen.h"
#include "platform/linux/threads.h"

namespace standin {

class DialogHost : public platform::DialogHost, public ScreenSink {
  public:
    // What happens to a message box: the terminal waits for the operator; tests either
    // close it at once or leave it open until they dismiss it.
    enum class MessageBoxPolicy { kCloseAtOnce, kWaitForDismiss };
    // Told of every change of the window (the entries of its log), on the window's thread.
    using Observer = std::function<void(DialogHost& host, const std::wstring& entry)>;

    DialogHost(int templateId, Clock& clock, Threads& threads, Screen* screen,
               MessageBoxPolicy policy, Observer observer = nullptr);
    ~DialogHost() override;

    int RunModal(platform::DialogEvents& events) override;
    void EndDialog(int result) override;
    void Invoke(const std::function<void()>& fn) override;
    bool IsWindowThread() override;
    std::uint32_t WaitForThreadPumping(platform::Handle thread, std::uint32_t timeoutMs) override;

    void SetCaption(std::wstring_view text) override;
    void SetIconResource(int iconId) override;
    void SetItemText(int id, std::wstring_view text) override;
    std::wstring GetItemText(int id) override;
    void EnableItem(int id, bool enable) override;
    bool IsItemEnabled(int id) override;
    void ListInsertColumn(int listId, int column, std::wstring_view heading, int widthPx) override;
    int ListInsertItem(int listId, int index, std::wstring_view text) override;
    void ListSetItemText(int listId, int row, int column, std::wstring_view text) override;
    std::wstring ListGetItemText(int listId, int row, int column) override;
    void ListSetExtendedStyle(int listId, std::uint32_t style) override;
    void ListSetCheck(int listId, int row, bool checked) override;
    bool ListGetCheck(int listId, int row) override;
    void MessageBox(std::wstring_view text, std::wstring_view caption) override;

    // ScreenSink, and the way tests press buttons.
    void Post(std::function<void()> fn) override;
    void Activate(int controlId) override;
    void DismissMessageBox() override;
    // A command as the keyboard or another program sends it (WM_COMMAND): it reaches the
    // window whatever the state of the button with that id. On the window's thread.
    void Command(int id);
    // Calls from other threads that came after the window had ended (and did nothing).
    std::uint64_t LateCalls();
    DialogModel& Model() override { return model_; }

    // Runs fn on the window's thread with the model (a consistent snapshot for tests).
    void WithModel(const std::function<void(const DialogModel&)>& fn);
    // The window as the operator first saw it: right after its initialisation, before
    // any call from another thread was served. Valid once IsRunning() was true.
    DialogModel FirstShown();
    // Whether the window is initialised, serving, and has not ended yet.
    bool IsRunning();

  private:
    struct Task {
        std::function<void()> fn;
        bool* done = nullptr;  // Set on the window's thread when a synchronous task ran.
    };
    // Runs queued tasks until the queue is empty; on the window's thread.
    void RunPending(std::unique_lock<std::mutex>& lock);
    void Changed(std::wstring entry);
    Control* Find(int id);

    Clock& clock_;
    Threads& threads_;
    Screen* screen_;
    MessageBoxPolicy policy_;
    Observer observer_;
    DialogModel model_;
    DialogModel firstShown_;
    platform::DialogEvents* events_ = nullptr;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    std::thread::id windowThread_;
    bool running_ = false;  // accepts calls (from the start of its initialisation)
    bool shown_ = false;    // initialised and serving
    bool ended_ = false;
    std::uint64_t lateCalls_ = 0;
};

}  // namespace standin
