#include "platform/linux/dialog_host.h"

#include "app/text_format.h"
#include "resource.h"

namespace standin {

DialogHost::DialogHost(int templateId, Clock& clock, Threads& threads, Screen* screen,
                       MessageBoxPolicy policy, Observer observer)
    : clock_(clock),
      threads_(threads),
      screen_(screen),
      policy_(policy),
      observer_(std::move(observer)),
      model_(DialogModel::FromTemplate(templateId)) {}

DialogHost::~DialogHost() = default;

int DialogHost::RunModal(platform::DialogEvents& events) {
    {
        std::lock_guard lock(mutex_);
        windowThread_ = std::this_thread::get_id();
        events_ = &events;
        running_ = true;
    }
    if (screen_) screen_->Start(*this);
    events.OnInitDialog();
    if (screen_) screen_->Render(model_);

    std::unique_lock lock(mutex_);
    firstShown_ = model_;
    shown_ = true;
    while (!ended_) {
        RunPending(lock);
        if (ended_) break;
        wake_.wait(lock, [&] { return ended_ || !tasks_.empty(); });
    }
    running_ = false;
    // Callers still waiting for a synchronous call are released; their call does nothing.
    for (Task& task : tasks_) {
        if (task.done) *task.done = true;
    }
    tasks_.clear();
    wake_.notify_all();
    lock.unlock();
    if (screen_) screen_->Stop();
    return model_.result;
}

void DialogHost::RunPending(std::unique_lock<std::mutex>& lock) {
    bool ran = false;
    while (!tasks_.empty() && !ended_) {
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task.fn();
        lock.lock();
        if (task.done) *task.done = true;
        wake_.notify_all();
        ran = true;
    }
    if (ran && screen_ && !ended_) {
        lock.unlock();
        screen_->Render(model_);
        lock.lock();
    }
}

void DialogHost::EndDialog(int result) {
    Invoke([&] {
        model_.result = result;
        model_.ended = true;
        Changed(Format(L"end %d", result));
        std::lock_guard lock(mutex_);
        ended_ = true;
        wake_.notify_all();
    });
}

void DialogHost::Invoke(const std::function<void()>& fn) {
    threads_.Gate().Step("window");  // A step of the calling worker (none of the window's).
    std::unique_lock lock(mutex_);
    if (std::this_thread::get_id() == windowThread_) {
        lock.unlock();
        fn();
        return;
    }
    if (ended_) ++lateCalls_;
    if (!running_ || ended_) return;  // The window is gone; like a message to a closed window.
    bool done = false;
    tasks_.push_back(Task{fn, &done});
    wake_.notify_all();
    wake_.wait(lock, [&] { return done; });
}

void DialogHost::Post(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    tasks_.push_back(Task{std::move(fn), nullptr});
    wake_.notify_all();
}

bool DialogHost::IsWindowThread() {
    std::lock_guard lock(mutex_);
    return std::this_thread::get_id() == windowThread_;
}

DialogModel DialogHost::FirstShown() {
    std::lock_guard lock(mutex_);
    return firstShown_;
}

bool DialogHost::IsRunning() {
    std::lock_guard lock(mutex_);
    return running_ && shown_ && !ended_;
}

std::uint32_t DialogHost::WaitForThreadPumping(platform::Handle thread, std::uint32_t timeoutMs) {
    std::uint64_t deadline = clock_.NowMs() + timeoutMs;
    auto ended = [&] {
        std::uint32_t code = 0;
        return threads_.GetExitCodeThread(thread, &code) && code != platform::kStillActive;
    };
    std::uint32_t probe = 0;
    if (!threads_.GetExitCodeThread(thread, &probe)) return platform::kWaitFailed;
    std::unique_lock lock(mutex_);
    for (;;) {
        RunPending(lock);
        if (ended()) return platform::kWaitObject0;
        std::uint64_t now = clock_.NowMs();
        if (now >= deadline) return platform::kWaitTimeout;
        // Wakes for a call from a worker; the thread's end is seen at the next turn, so
        // the slice is short.
        auto slice = static_cast<std::uint32_t>(std::min<std::uint64_t>(deadline - now, 50));
        lock.unlock();
        std::uint32_t result = threads_.WaitForThread(thread, 0);
        lock.lock();
        if (result == platform::kWaitObject0) return result;
        clock_.WaitUntil(
            wake_, lock, [&] { return !tasks_.empty(); }, slice);
    }
}

void DialogHost::Changed(std::wstring entry) {
    model_.log.push_back(std::move(entry));
    if (observer_) observer_(*this, model_.log.back());
}

Control* DialogHost::Find(int id) {
    auto it = model_.controls.find(id);
    return it == model_.controls.end() ? nullptr : &it->second;
}

void DialogHost::SetCaption(std::wstring_view text) {
    model_.caption = text;
    Changed(Format(L"caption: %s", text));
}

void DialogHost::SetIconResource(int iconId) {
    model_.iconId = iconId;
}

void DialogHost::SetItemText(int id, std::wstring_view text) {
    if (Control* c = Find(id)) {
        c->text = text;
        Changed(Format(L"text %d: %s", id, text));
    }
}

std::wstring DialogHost::GetItemText(int id) {
    Control* c = Find(id);
    return c ? c->text : std::wstring();
}

void DialogHost::EnableItem(int id, bool enable) {
    if (Control* c = Find(id)) {
        c->enabled = enable;
        Changed(Format(L"enable %d: %d", id, enable ? 1 : 0));
    }
}

bool DialogHost::IsItemEnabled(int id) {
    Control* c = Find(id);
    return c != nullptr && c->enabled;
}

void DialogHost::ListInsertColumn(int listId, int column, std::wstring_view heading, int widthPx) {
    if (column < 0 || static_cast<std::size_t>(column) > model_.columns.size()) return;
    model_.columns.insert(model_.columns.begin() + column, {std::wstring(heading), widthPx});
}

int DialogHost::ListInsertItem(int listId, int index, std::wstring_view text) {
    if (index < 0) return -1;
    auto at = std::min<std::size_t>(static_cast<std::size_t>(index), model_.rows.size());
    ListRow row;
    row.cells.push_back(std::wstring(text));
    model_.rows.insert(model_.rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    return static_cast<int>(at);
}

void DialogHost::ListSetItemText(int listId, int row, int column, std::wstring_view text) {
    if (row < 0 || static_cast<std::size_t>(row) >= model_.rows.size() || column < 0) return;
    auto& cells = model_.rows[static_cast<std::size_t>(row)].cells;
    if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(column + 1);
    cells[static_cast<std::size_t>(column)] = text;
    Changed(Format(L"cell %d,%d: %s", row, column, text));
}

std::wstring DialogHost::ListGetItemText(int listId, int row, int column) {
    if (row < 0 || static_cast<std::size_t>(row) >= model_.rows.size() || column < 0) return {};
    const auto& cells = model_.rows[static_cast<std::size_t>(row)].cells;
    return static_cast<std::size_t>(column) < cells.size() ? cells[column] : std::wstring();
}

void DialogHost::ListSetExtendedStyle(int listId, std::uint32_t style) {
    model_.listStyle = style;
}

void DialogHost::ListSetCheck(int listId, int row, bool checked) {
    if (!(model_.listStyle & platform::kListCheckBoxes)) return;
    if (row < 0 || static_cast<std::size_t>(row) >= model_.rows.size()) return;
    model_.rows[static_cast<std::size_t>(row)].checked = checked;
    Changed(Format(L"check %d: %d", row, checked ? 1 : 0));
}

bool DialogHost::ListGetCheck(int listId, int row) {
    if (!(model_.listStyle & platform::kListCheckBoxes)) return false;
    if (row < 0 || static_cast<std::size_t>(row) >= model_.rows.size()) return false;
    return model_.rows[static_cast<std::size_t>(row)].checked;
}

void DialogHost::MessageBox(std::wstring_view text, std::wstring_view caption) {
    model_.messageBox = MessageBoxState{std::wstring(text), std::wstring(caption)};
    Changed(Format(L"messagebox %s: %s", caption, text));
    if (policy_ == MessageBoxPolicy::kCloseAtOnce) {
        model_.messageBox.reset();
        return;
    }
    // A modal loop of its own: the window keeps serving calls until the box is closed.
    if (screen_) screen_->Render(model_);
    std::unique_lock lock(mutex_);
    while (model_.messageBox && !ended_) {
        RunPending(lock);
        if (!model_.messageBox || ended_) break;
        wake_.wait(lock, [&] { return ended_ || !tasks_.empty(); });
    }
}

void DialogHost::Activate(int controlId) {
    if (model_.messageBox) return;  // The message box is modal.
    Control* c = Find(controlId);
    if (c == nullptr || !c->enabled || !c->visible || events_ == nullptr) return;
    events_->OnCommand(controlId);
}

void DialogHost::Command(int id) {
    if (model_.messageBox || events_ == nullptr) return;  // The message box is modal.
    events_->OnCommand(id);
}

std::uint64_t DialogHost::LateCalls() {
    std::lock_guard lock(mutex_);
    return lateCalls_;
}

void DialogHost::DismissMessageBox() {
    if (model_.messageBox) {
        model_.messageBox.reset();
        Changed(L"messagebox closed");
    }
}

void DialogHost::WithModel(const std::function<void(const DialogModel&)>& fn) {
    Invoke([&] { fn(model_); });
}

}  // namespace standin
