// The program on Linux: the same application on the stand-in platform, its window in
// the terminal.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "app/fwupdate_app.h"
#include "platform/linux/embedded_images.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/scenario_setup.h"
#include "platform/linux/terminal_screen.h"
#include "resource.h"

namespace {

// The simulated set-up: FWUPDATE_SCENARIO, "normal" when unset.
std::optional<sim::Scenario> ScenarioFromEnvironment() {
    const char* value = std::getenv("FWUPDATE_SCENARIO");
    std::string error;
    auto scenario = sim::ParseScenario(value && *value ? value : "normal", error);
    if (!scenario) {
        std::cerr << "FWUPDATE_SCENARIO: " << error << "\nScenarios:\n";
        for (const sim::ScenarioInfo& info : sim::ScenarioList()) {
            std::cerr << "  " << info.name << "  " << info.description << "\n";
        }
        std::cerr << "Settings (name:key=value,...):\n";
        for (const sim::ScenarioInfo& info : sim::ScenarioSettings()) {
            std::cerr << "  " << info.name << "  " << info.description << "\n";
        }
    }
    return scenario;
}

double SpeedFromEnvironment() {
    const char* value = std::getenv("FWUPDATE_SPEED");
    double speed = value ? std::atof(value) : 1.0;
    return speed > 0 ? speed : 1.0;
}

// Without a terminal the window cannot be drawn; it still takes its commands, one per
// line on standard input: S (Search Device), U (Update), C (Close), O (OK in a message box).
void ReadCommandLines(standin::LinuxPlatform& os) {
    std::thread([&os] {
        std::string line;
        while (std::getline(std::cin, line)) {
            // A command typed before the window is up waits for it.
            std::shared_ptr<standin::DialogHost> host;
            while (!(host = os.Dialog()) || !host->IsRunning()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (line.empty()) continue;
            int id = 0;
            switch (line[0]) {
                case 'S':
                case 's':
                    id = IDC_BTN_SEARCH;
                    break;
                case 'U':
                case 'u':
                    id = IDC_BTN_UPDATE;
                    break;
                case 'C':
                case 'c':
                    id = IDCANCEL;
                    break;
                case 'O':
                case 'o':
                    host->Post([host] { host->DismissMessageBox(); });
                    continue;
                default:
                    continue;
            }
            host->Post([h = host.get(), id] { h->Activate(id); });
        }
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<sim::Scenario> scenario = ScenarioFromEnvironment();
    if (!scenario) return 2;
    standin::PlatformOptions options;
    options.speed = SpeedFromEnvironment();
    options.firmwareImages = standin::EmbeddedFirmwareImages();
    options.process.args.assign(argv + 1, argv + argc);
    bool terminal = ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);
    if (terminal) options.screen = standin::MakeTerminalScreen();
    options.messageBoxPolicy = terminal ? standin::DialogHost::MessageBoxPolicy::kWaitForDismiss
                                        : standin::DialogHost::MessageBoxPolicy::kCloseAtOnce;

    standin::LinuxPlatform os(std::move(options));
    standin::InstallScenario(os, *scenario);
    platform::Install(&os);
    if (!terminal) ReadCommandLines(os);
    CFWUpdateApp app;
    app.InitInstance();
    platform::Install(nullptr);
    // The stdin reader may still be blocked in a read; the process ends here regardless.
    std::fflush(stdout);
    std::_Exit(0);
}
