// Where the stand-in draws the main window. A screen is optional: without one the window
// exists only as its model (tests); the terminal screen draws it and reads the keyboard.
#pragma once

#include <functional>
#include <string_view>

#include "platform/linux/dialog_model.h"

namespace standin {

// What a screen may ask of the window. Post runs fn on the window's thread later and
// may be called from any thread (an input thread, say).
class ScreenSink {
  public:
    virtual ~ScreenSink() = default;
    virtual void Post(std::function<void()> fn) = 0;
    // On the window's thread: the command of a control as a click or key delivers it.
    // Does nothing for a disabled control.
    virtual void Activate(int controlId) = 0;
    // On the window's thread: closes the open message box.
    virtual void DismissMessageBox() = 0;
    virtual DialogModel& Model() = 0;
};

class Screen {
  public:
    virtual ~Screen() = default;
    // Takes over the terminal (or whatever it draws on) and starts reading input.
    virtual void Start(ScreenSink& sink) = 0;
    // Draws the model; called on the window's thread after every change.
    virtual void Render(const DialogModel& model) = 0;
    // A line of the console trace; called from any thread.
    virtual void AppendConsole(std::wstring_view text) = 0;
    // Stops reading input and gives the terminal back.
    virtual void Stop() = 0;
};

}  // namespace standin
