// The application object: prepares the process, guards against a second copy and runs
// the main window.
#pragma once

class CFWUpdateApp {
  public:
    virtual ~CFWUpdateApp() = default;
    // Runs the whole program; returns false always, after which the process ends.
    bool InitInstance();
};
