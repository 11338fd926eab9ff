// The window of the program as the operating system shows it: a modal dialog built from
// a template, its controls, and the way other threads reach the window's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace platform {

// Extended styles of the report list (the Windows values).
constexpr std::uint32_t kListGridLines = 0x00000001;
constexpr std::uint32_t kListCheckBoxes = 0x00000004;
constexpr std::uint32_t kListFullRowSelect = 0x00000020;

// What the window tells the program; called on the window's thread.
class DialogEvents {
  public:
    virtual ~DialogEvents() = default;
    virtual void OnInitDialog() = 0;
    // A command from a control or the keyboard (IDOK for Enter, IDCANCEL for the cancel key).
    virtual void OnCommand(int id) = 0;
};

// Control operations may be called only on the window's thread (inside Invoke, or from
// the DialogEvents callbacks). Invoke, EndDialog and IsWindowThread work from any thread.
class DialogHost {
  public:
    virtual ~DialogHost() = default;

    // Shows the dialog and serves it until EndDialog; returns EndDialog's result.
    virtual int RunModal(DialogEvents& events) = 0;
    // Ends the dialog; carried out on the window's thread whichever thread asks.
    virtual void EndDialog(int result) = 0;

    // Runs fn on the window's thread and returns when it has run. On the window's own
    // thread fn runs at once.
    virtual void Invoke(const std::function<void()>& fn) = 0;
    virtual bool IsWindowThread() = 0;
    // Waits for a thread to end while the window keeps serving Invoke calls (so a worker
    // that is itself waiting for the window can finish).
    virtual std::uint32_t WaitForThreadPumping(Handle thread, std::uint32_t timeoutMs) = 0;

    virtual void SetCaption(std::wstring_view text) = 0;
    // The window's big and small icon, from the program's icon resource.
    virtual void SetIconResource(int iconId) = 0;
    virtual void SetItemText(int id, std::wstring_view text) = 0;
    virtual std::wstring GetItemText(int id) = 0;
    virtual void EnableItem(int id, bool enable) = 0;
    virtual bool IsItemEnabled(int id) = 0;

    // The report list control of the dialog.
    virtual void ListInsertColumn(int listId, int column, std::wstring_view heading,
                                  int widthPx) = 0;
    virtual int ListInsertItem(int listId, int index, std::wstring_view text) = 0;
    virtual void ListSetItemText(int listId, int row, int column, std::wstring_view text) = 0;
    virtual std::wstring ListGetItemText(int listId, int row, int column) = 0;
    virtual void ListSetExtendedStyle(int listId, std::uint32_t style) = 0;
    virtual void ListSetCheck(int listId, int row, bool checked) = 0;
    virtual bool ListGetCheck(int listId, int row) = 0;

    // A modal message box owned by the window (OK button, no icon). The window keeps
    // serving Invoke calls while it is open.
    virtual void MessageBox(std::wstring_view text, std::wstring_view caption) = 0;
};

class Windowing {
  public:
    virtual ~Windowing() = default;
    // Shared: the side that made the window may keep it for a while after the program let
    // go of it (tests read it after the window ended).
    virtual std::shared_ptr<DialogHost> CreateDialogHost(int templateId) = 0;
};

}  // namespace platform
