// Runs the program, or only its main window, on the stand-in platform with virtual time,
// in a scratch directory of its own, and lets a test press buttons and read the window.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/fwupdate_dlg.h"
#include "platform/linux/linux_platform.h"
#include "sim/velora_device.h"

struct HarnessOptions {
    std::vector<std::string> args;
    // The folder beside the scratch directory's root that holds the program.
    std::string programDir = "bin";
    // Written beside the program as Settings.ini when set.
    std::optional<std::string> settings;
    std::optional<platform::LangId> userLanguage = platform::kLangEnglishUs;
    std::optional<std::wstring> fileVersion = standin::DefaultFileVersion();
    standin::DialogHost::MessageBoxPolicy messageBoxPolicy =
        standin::DialogHost::MessageBoxPolicy::kCloseAtOnce;
    // The program carries test images of the right sizes and first bytes...
    bool images = true;
    // ...with these in place of them.
    standin::Resources::Images imagesReplaced;
    // How long a timed wait on the virtual clock watches in real time before its time
    // runs out (standin::VirtualClock).
    std::chrono::milliseconds virtualGrace{100};
};

// Firmware images for tests: the sizes and first four bytes of the real ones, zeros after.
const standin::Resources::Images& TestFirmwareImages();

class AppHarness {
  public:
    explicit AppHarness(HarnessOptions options = {});
    ~AppHarness();

    // Runs the whole program (CFWUpdateApp::InitInstance) on a thread of its own, which
    // becomes the window's thread.
    void StartApp();
    // Runs only the main window, modally, on a thread of its own.
    void StartWindow();
    // Waits until the window serves calls; false when it did not come up.
    bool WaitForWindow();
    // Waits until the program (or the window) has returned.
    bool WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Worker threads still running at the moment the program returned.
    std::size_t RunningAtExit() const { return runningAtExit_.load(); }

    // Presses a control as the operator would and returns once the window handled it.
    void Click(int controlId);
    // Presses it and returns at once (for a command that waits for a worker the test has
    // yet to let go); nothing looks at the window meanwhile.
    void Press(int controlId);
    // Sends a command as the keyboard or another program does, whatever the state of its
    // button, with `before` and `after` run on the window's thread right before and after
    // it (nothing else runs there in between). Returns once all were done.
    void Command(int id, const std::function<void()>& before = nullptr,
                 const std::function<void()>& after = nullptr);
    // Runs fn on the window's thread.
    void OnWindow(const std::function<void()>& fn);
    standin::DialogModel Snapshot();
    // The window right after its initialisation, before any worker changed it.
    standin::DialogModel FirstShown();
    // Waits until no worker thread of the program runs (the service thread, say).
    bool WaitForWorkers();

    std::wstring ConsoleText();
    // How often the console shows this text.
    std::size_t ConsoleCount(std::wstring_view text);
    std::vector<std::wstring> AppMessageBoxes();

    // Plugs a simulated set-up ("normal", "busy:busy_ms=5000", ...); fails the test on a
    // bad text. Returns the scanners, lowest index first.
    std::vector<std::shared_ptr<sim::VeloraDevice>> Scenario(const std::string& text);
    // The scanners of the last scenario.
    const std::vector<std::shared_ptr<sim::VeloraDevice>>& Scanners() const { return scanners_; }
    // Presses Update as if the last search had allowed it (ready mark and button on).
    void ForceUpdate();
    // Runs the program with a scenario, lets the first search finish, presses Update
    // (forced when the search did not allow it) and waits for the update to end.
    void UpdateWith(const std::string& scenario, bool force = false);
    // Every text the status label showed, in order.
    std::vector<std::wstring> StatusHistory();
    // Waits until the window shows this status text (true) or 20 s passed.
    bool WaitForStatus(const std::wstring& text);
    // Holds a busy lock by name as another application would, until the handle goes.
    std::shared_ptr<void> HoldMutex(const std::wstring& name);

    standin::LinuxPlatform& os() { return *os_; }
    CFWUpdateDlg& dlg() { return *dlg_; }
    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path programPath() const { return dir_ / programDir_ / "FWUpdate"; }
    void WriteSettings(const std::string& text);

  private:
    std::filesystem::path dir_;
    std::string programDir_;
    std::vector<std::shared_ptr<sim::VeloraDevice>> scanners_;
    std::unique_ptr<standin::LinuxPlatform> os_;
    std::unique_ptr<CFWUpdateDlg> dlg_;
    std::thread runner_;
    std::atomic<bool> exited_{false};
    std::atomic<std::size_t> runningAtExit_{0};
    std::mutex mutex_;
    std::wstring console_;
    std::vector<std::wstring> boxes_;
};

// A scratch directory removed with the object.
std::filesystem::path MakeScratchDir();
