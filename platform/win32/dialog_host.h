// The main window as a Windows modal dialog built from a resource template.
#pragma once

#include <atomic>

#include "platform/dialog_host.h"
#include "platform/win32/windows_api.h"

namespace win32 {

class DialogHost final : public platform::DialogHost {
  public:
    explicit DialogHost(int templateId);
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

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void PaintMinimised();
    LRESULT SendToList(int listId, UINT message, WPARAM wParam, LPARAM lParam);

    const int templateId_;
    // The thread that created the host runs the dialog; other threads read the window.
    const DWORD windowThread_;
    std::atomic<HWND> window_{nullptr};
    platform::DialogEvents* events_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
};

class Windowing final : public platform::Windowing {
  public:
    std::shared_ptr<platform::DialogHost> CreateDialogHost(int templateId) override;
};

}  // namespace win32
