#include "platform/linux/linux_platform.h"

#include "app/utf.h"
#include "platform/linux/last_error.h"

namespace standin {

std::wstring DefaultFileVersion() {
    return Utf8ToWide(FWUPDATE_VERSION_TEXT);
}

namespace {

std::unique_ptr<Clock> MakeClock(const PlatformOptions& options) {
    if (options.time == PlatformOptions::Time::kVirtual) {
        return std::make_unique<VirtualClock>(options.virtualGrace);
    }
    return std::make_unique<ScaledRealClock>(options.speed);
}

NamedMutexes MakeMutexes(const std::filesystem::path& dir) {
    if (dir.empty()) return NamedMutexes::FromEnvironment();
    return NamedMutexes(dir / "global", dir / "session");
}

}  // namespace

LinuxPlatform::LinuxPlatform(PlatformOptions options)
    : options_(std::move(options)),
      clock_(MakeClock(options_)),
      faults_(gate_),
      process_(options_.process),
      resources_(options_.fileVersion, options_.firmwareImages, faults_),
      mutexes_(MakeMutexes(options_.kernelObjectsDir)),
      driver_(handles_, *clock_, faults_),
      registry_(faults_),
      scm_(handles_, *clock_, faults_),
      screen_(std::move(options_.screen)),
      threads_(handles_, *clock_, faults_, gate_) {
    if (auto* virtualClock = dynamic_cast<VirtualClock*>(clock_.get())) {
        virtualClock->SetOthersRunning([this] { return threads_.OthersRunning(); });
    }
    if (Screen* screen = screen_.get()) {
        process_.SetConsoleSink([screen](std::wstring_view text) { screen->AppendConsole(text); });
    }
}

LinuxPlatform::~LinuxPlatform() {
    threads_.JoinAll();
}

std::uint32_t LinuxPlatform::GetLastError() {
    return standin::GetLastError();
}

void LinuxPlatform::SetLastError(std::uint32_t code) {
    standin::SetLastError(code);
}

bool LinuxPlatform::CloseHandle(platform::Handle handle) {
    gate_.Step("CloseHandle");
    if (!handles_.Remove(handle)) {
        standin::SetLastError(platform::kErrorInvalidHandle);
        return false;
    }
    return true;
}

platform::Handle LinuxPlatform::CreateMutex(std::wstring_view name, const platform::MutexOptions&) {
    if (auto fault = faults_.Check("CreateMutex")) {
        standin::SetLastError(fault->error);
        return nullptr;
    }
    bool existed = false;
    std::shared_ptr<MutexObject> object = mutexes_.Open(name, &existed);
    if (!object) {
        standin::SetLastError(platform::kErrorAccessDenied);
        return nullptr;
    }
    platform::Handle handle = handles_.Add(object);
    standin::SetLastError(existed ? platform::kErrorAlreadyExists : platform::kErrorSuccess);
    return handle;
}

bool LinuxPlatform::ReleaseMutex(platform::Handle mutex) {
    gate_.Step("ReleaseMutex");
    if (!handles_.FindAs<MutexObject>(mutex)) {
        standin::SetLastError(platform::kErrorInvalidHandle);
        return false;
    }
    return true;
}

std::shared_ptr<platform::DialogHost> LinuxPlatform::CreateDialogHost(int templateId) {
    std::lock_guard lock(dialogMutex_);
    auto host = std::make_shared<DialogHost>(templateId, *clock_, threads_, screen_.get(),
                                             options_.messageBoxPolicy, observer_);
    dialog_ = host;
    return host;
}

void LinuxPlatform::SetDialogObserver(DialogHost::Observer observer) {
    std::lock_guard lock(dialogMutex_);
    observer_ = std::move(observer);
}

std::shared_ptr<DialogHost> LinuxPlatform::Dialog() {
    std::lock_guard lock(dialogMutex_);
    return dialog_;
}

}  // namespace standin
