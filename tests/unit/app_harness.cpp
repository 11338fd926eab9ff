#include "app_harness.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>

#include "app/fwupdate_app.h"
#include "app/utf.h"
#include "platform/linux/named_mutex.h"
#include "platform/linux/scenario_setup.h"
#include "resource.h"
#include "sim/scenario.h"

namespace {
// How often the harness looks at the program it waits for: short, since the loops over
// every fault and every moment run the program thousands of times.
constexpr auto kPollInterval = std::chrono::microseconds(200);
}  // namespace

std::filesystem::path MakeScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "fwupdate_test_XXXXXX").string();
    char* made = ::mkdtemp(pattern.data());
    return made ? std::filesystem::path(made) : std::filesystem::path();
}

AppHarness::AppHarness(HarnessOptions options)
    : dir_(MakeScratchDir()), programDir_(options.programDir) {
    std::filesystem::create_directories(dir_ / programDir_);
    if (options.settings) WriteSettings(*options.settings);

    standin::PlatformOptions po;
    po.time = standin::PlatformOptions::Time::kVirtual;
    po.virtualGrace = options.virtualGrace;
    po.messageBoxPolicy = options.messageBoxPolicy;
    po.kernelObjectsDir = dir_ / "kernel";
    po.fileVersion = options.fileVersion;
    if (options.images) po.firmwareImages = TestFirmwareImages();
    for (const auto& [number, image] : options.imagesReplaced) po.firmwareImages[number] = image;
    po.process.modulePath = programPath().string();
    po.process.args = options.args;
    po.process.userLanguage = options.userLanguage;
    po.process.console = [this](std::wstring_view text) {
        std::lock_guard lock(mutex_);
        console_ += text;
    };
    po.process.messageBox = [this](std::wstring_view text, std::wstring_view caption) {
        std::lock_guard lock(mutex_);
        boxes_.push_back(std::wstring(caption) + L": " + std::wstring(text));
    };
    os_ = std::make_unique<standin::LinuxPlatform>(std::move(po));
    platform::Install(os_.get());
}

AppHarness::~AppHarness() {
    if (runner_.joinable()) {
        if (!exited_.load()) {
            // Ending the window under a running worker would pull the window from under
            // it; the program itself ends it only after its workers (the cancel thread).
            WaitForWorkers();
            if (auto host = os_->Dialog()) host->EndDialog(IDCANCEL);
        }
        runner_.join();
    }
    WaitForWorkers();
    dlg_.reset();
    os_.reset();
    platform::Install(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void AppHarness::WriteSettings(const std::string& text) {
    std::ofstream(dir_ / programDir_ / "Settings.ini", std::ios::binary) << text;
}

void AppHarness::StartApp() {
    runner_ = std::thread([this] {
        CFWUpdateApp app;
        app.InitInstance();
        runningAtExit_.store(os_->StandInThreads().Running());
        exited_.store(true);
    });
}

void AppHarness::StartWindow() {
    runner_ = std::thread([this] {
        dlg_ = std::make_unique<CFWUpdateDlg>();
        dlg_->DoModal();
        exited_.store(true);
    });
}

bool AppHarness::WaitForWindow() {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
        if (auto host = os_->Dialog(); host && host->IsRunning()) return true;
        if (exited_.load()) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}

bool AppHarness::WaitForExit(std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!exited_.load()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    if (runner_.joinable()) runner_.join();
    return true;
}

void AppHarness::Click(int controlId) {
    auto host = os_->Dialog();
    if (host == nullptr) return;
    auto handled = std::make_shared<std::atomic<bool>>(false);
    host->Post([h = host.get(), controlId, handled] {
        h->Activate(controlId);
        handled->store(true);
    });
    // The command may wait while serving other calls (a message box, an earlier update
    // thread): it counts as handled once it returned, or once it shows a message box.
    while (!handled->load() && host->IsRunning()) {
        bool boxOpen = false;
        host->WithModel([&](const standin::DialogModel& m) { boxOpen = m.messageBox.has_value(); });
        if (boxOpen) break;
        std::this_thread::sleep_for(kPollInterval);
    }
}

void AppHarness::Press(int controlId) {
    if (auto host = os_->Dialog()) {
        host->Post([h = host.get(), controlId] { h->Activate(controlId); });
    }
}

void AppHarness::Command(int id, const std::function<void()>& before,
                         const std::function<void()>& after) {
    auto host = os_->Dialog();
    if (host == nullptr) return;
    auto handled = std::make_shared<std::atomic<bool>>(false);
    host->Post([h = host.get(), id, before, after, handled] {
        if (before) before();
        h->Command(id);
        if (after) after();
        handled->store(true);
    });
    while (!handled->load() && host->IsRunning()) std::this_thread::sleep_for(kPollInterval);
}

void AppHarness::OnWindow(const std::function<void()>& fn) {
    if (auto host = os_->Dialog()) host->Invoke(fn);
}

standin::DialogModel AppHarness::Snapshot() {
    standin::DialogModel model;
    auto host = os_->Dialog();
    if (host == nullptr) return model;
    if (!host->IsRunning()) return host->Model();  // The window thread no longer touches it.
    host->WithModel([&](const standin::DialogModel& m) { model = m; });
    return model;
}

standin::DialogModel AppHarness::FirstShown() {
    auto host = os_->Dialog();
    return host ? host->FirstShown() : standin::DialogModel();
}

bool AppHarness::WaitForWorkers() {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (os_->StandInThreads().Running() != 0) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

std::wstring AppHarness::ConsoleText() {
    std::lock_guard lock(mutex_);
    return console_;
}

std::size_t AppHarness::ConsoleCount(std::wstring_view text) {
    std::wstring console = ConsoleText();
    std::size_t count = 0;
    for (std::size_t at = console.find(text); at != std::wstring::npos;
         at = console.find(text, at + 1)) {
        ++count;
    }
    return count;
}

std::vector<std::wstring> AppHarness::AppMessageBoxes() {
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<std::shared_ptr<sim::VeloraDevice>> AppHarness::Scenario(const std::string& text) {
    std::string error;
    auto scenario = sim::ParseScenario(text, error);
    EXPECT_TRUE(scenario.has_value()) << error;
    if (!scenario) return {};
    scanners_ = standin::InstallScenario(*os_, *scenario);
    return scanners_;
}

bool AppHarness::WaitForStatus(const std::wstring& text) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
        if (Snapshot().controls[1017].text == text) return true;
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}

std::shared_ptr<void> AppHarness::HoldMutex(const std::wstring& name) {
    standin::NamedMutexes mutexes(dir_ / "kernel" / "global", dir_ / "kernel" / "session");
    bool existed = false;
    return mutexes.Open(name, &existed);
}

const standin::Resources::Images& TestFirmwareImages() {
    static const auto* images = [] {
        struct Field {
            int number;
            std::uint32_t size;
            const char* head;
        };
        static std::vector<std::vector<std::uint8_t>> storage;
        storage.reserve(3);
        auto* map = new standin::Resources::Images;
        for (Field field : {Field{505, 13633428, "ACEZ"}, Field{506, 8388608, "ACEZ"},
                            Field{507, 26214400, "ACEE"}}) {
            std::vector<std::uint8_t> bytes(field.size, 0);
            std::copy(field.head, field.head + 4, bytes.begin());
            storage.push_back(std::move(bytes));
            (*map)[field.number] = std::span<const std::uint8_t>(storage.back());
        }
        return map;
    }();
    return *images;
}

void AppHarness::ForceUpdate() {
    OnWindow([&] {
        auto host = os_->Dialog();
        host->ListSetCheck(IDC_LIST_DESTINATION, 0, true);
        host->EnableItem(IDC_BTN_UPDATE, true);
    });
    Click(IDC_BTN_UPDATE);
}

void AppHarness::UpdateWith(const std::string& scenario, bool force) {
    Scenario(scenario);
    StartApp();
    ASSERT_TRUE(WaitForWindow());
    ASSERT_TRUE(WaitForWorkers());
    if (force) {
        ForceUpdate();
    } else {
        ASSERT_TRUE(Snapshot().controls[IDC_BTN_UPDATE].enabled) << scenario;
        Click(IDC_BTN_UPDATE);
    }
    ASSERT_TRUE(WaitForWorkers());
    OnWindow([] {});  // the update thread's last window calls are done
}

std::vector<std::wstring> AppHarness::StatusHistory() {
    std::vector<std::wstring> texts;
    const std::wstring prefix = L"text 1017: ";
    for (const std::wstring& entry : Snapshot().log) {
        if (entry.starts_with(prefix)) texts.push_back(entry.substr(prefix.size()));
    }
    return texts;
}
