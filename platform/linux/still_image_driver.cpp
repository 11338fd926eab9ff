#include "platform/linux/still_image_driver.h"

#include <condition_variable>
#include <map>

#include "platform/linux/last_error.h"

namespace standin {

namespace {

constexpr std::uint32_t kErrorIoIncomplete = 996;
constexpr std::uint32_t kErrorNotFound = 1168;

class DeviceObject : public KernelObject {
  public:
    explicit DeviceObject(std::weak_ptr<sim::UsbDevice> device) : device(std::move(device)) {}
    ObjectKind kind() const override { return ObjectKind::kDevice; }
    std::weak_ptr<sim::UsbDevice> device;
};

class EventObject : public KernelObject {
  public:
    ObjectKind kind() const override { return ObjectKind::kEvent; }
    std::mutex mutex;
    std::condition_variable cv;
    bool signaled = false;
};

// One transfer record and the state of the transfer that uses it.
class Record : public platform::TransferRecord {
  public:
    enum class State { kIdle, kPending, kEnded };

    Record(StillImageDriver& driver, HandleTable& handles)
        : driver_(driver), handles_(handles), event_(std::make_shared<EventObject>()) {
        handle_ = handles_.Add(event_);
    }
    ~Record() override {
        if (state == State::kPending) {
            // The driver could still write into the caller's buffer: a caller's fault.
            driver_.abandonedPending_.fetch_add(1);
            driver_.pending_.fetch_sub(1);
        }
        handles_.Remove(handle_);
    }
    platform::Handle Event() override { return handle_; }

    void Begin(Fault::Action how) {
        state = State::kPending;
        mode = how;
        cancelled = false;
        bytes = 0;
        error = 0;
        std::lock_guard lock(event_->mutex);
        event_->signaled = false;
        driver_.pending_.fetch_add(1);
    }
    void End(std::uint32_t moved, std::uint32_t failure) {
        if (state != State::kPending) return;
        state = State::kEnded;
        bytes = moved;
        error = failure;
        driver_.pending_.fetch_sub(1);
        std::lock_guard lock(event_->mutex);
        event_->signaled = true;
        event_->cv.notify_all();
    }
    // Waits for the event on the clock; resets it when it was signalled (auto-reset).
    bool WaitEvent(Clock& clock, std::uint32_t timeoutMs) {
        std::unique_lock lock(event_->mutex);
        bool signaled = clock.WaitUntil(
            event_->cv, lock, [&] { return event_->signaled; }, timeoutMs);
        if (signaled) event_->signaled = false;
        return signaled;
    }

    State state = State::kIdle;
    Fault::Action mode = Fault::Action::kPendingDone;
    bool cancelled = false;
    std::uint32_t bytes = 0;
    std::uint32_t error = 0;
    std::uint32_t injectedError = 0;

  private:
    StillImageDriver& driver_;
    HandleTable& handles_;
    std::shared_ptr<EventObject> event_;
    platform::Handle handle_;
};

sim::IoResult Move(sim::UsbDevice& device, bool write, void* data, std::uint32_t size) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    return write ? device.Write({bytes, size}) : device.Read({bytes, size});
}

}  // namespace

StillImageDriver::StillImageDriver(HandleTable& handles, Clock& clock, FaultPlan& faults)
    : handles_(handles), clock_(clock), faults_(faults) {}

void StillImageDriver::Plug(int index, std::shared_ptr<sim::UsbDevice> device) {
    if (index < 0 || index >= kSlots) return;
    std::lock_guard lock(mutex_);
    slots_[static_cast<std::size_t>(index)] = std::move(device);
}

void StillImageDriver::Unplug(int index) {
    Plug(index, nullptr);
}

platform::Handle StillImageDriver::OpenDevice(std::wstring_view name) {
    if (auto fault = faults_.Check("CreateFile")) {
        SetLastError(fault->error);
        return platform::kInvalidHandle;
    }
    constexpr std::wstring_view kPrefix = L"\\\\.\\usbscan";
    int index = -1;
    if (name.starts_with(kPrefix) && name.size() > kPrefix.size() &&
        name.size() <= kPrefix.size() + 3) {
        index = 0;
        for (wchar_t c : name.substr(kPrefix.size())) {
            index = (c >= L'0' && c <= L'9') ? index * 10 + (c - L'0') : -1;
            if (index < 0) break;
        }
        if (name.size() > kPrefix.size() + 1 && name[kPrefix.size()] == L'0') index = -1;
    }
    std::shared_ptr<sim::UsbDevice> device;
    if (index >= 0 && index < kSlots) {
        std::lock_guard lock(mutex_);
        device = slots_[static_cast<std::size_t>(index)];
    }
    if (!device || !device->Present()) {
        SetLastError(platform::kErrorFileNotFound);
        return platform::kInvalidHandle;
    }
    return handles_.Add(std::make_shared<DeviceObject>(device));
}

std::shared_ptr<sim::UsbDevice> StillImageDriver::DeviceOf(platform::Handle handle) {
    auto object = handles_.FindAs<DeviceObject>(handle);
    if (!object) {
        SetLastError(platform::kErrorInvalidHandle);
        return nullptr;
    }
    auto device = object->device.lock();
    if (!device || !device->Present()) {
        SetLastError(platform::kErrorDeviceNotConnected);
        return nullptr;
    }
    return device;
}

bool StillImageDriver::GetDeviceDescriptor(platform::Handle handle, std::uint8_t descriptor[8]) {
    if (auto fault = faults_.Check("DeviceIoControl")) {
        SetLastError(fault->error);
        return false;
    }
    auto device = DeviceOf(handle);
    if (!device) return false;
    if (!device->Descriptor(descriptor)) {
        SetLastError(platform::kErrorGenFailure);
        return false;
    }
    return true;
}

std::unique_ptr<platform::TransferRecord> StillImageDriver::CreateTransferRecord() {
    if (auto fault = faults_.Check("CreateEvent")) {
        SetLastError(fault->error);
        return nullptr;
    }
    return std::make_unique<Record>(*this, handles_);
}

bool StillImageDriver::WriteFile(platform::Handle device, const void* data, std::uint32_t size,
                                 std::uint32_t* done, platform::TransferRecord& record) {
    return Transfer(true, device, const_cast<void*>(data), size, done, record);
}

bool StillImageDriver::ReadFile(platform::Handle device, void* data, std::uint32_t size,
                                std::uint32_t* done, platform::TransferRecord& record) {
    return Transfer(false, device, data, size, done, record);
}

bool StillImageDriver::Transfer(bool write, platform::Handle handle, void* data, std::uint32_t size,
                                std::uint32_t* done, platform::TransferRecord& base) {
    auto& record = static_cast<Record&>(base);
    *done = 0;
    std::optional<Fault> fault = faults_.Check(write ? "WriteFile" : "ReadFile");
    if (fault && fault->action == Fault::Action::kFail) {
        SetLastError(fault->error);
        return false;
    }
    auto device = DeviceOf(handle);
    if (!device) return false;

    if (fault && fault->action == Fault::Action::kShort) size = std::min(size, fault->bytes);
    bool pending = fault && fault->action != Fault::Action::kShort;
    if (!pending) {
        sim::IoResult result = Move(*device, write, data, size);
        if (result.kind == sim::IoResult::Kind::kDone) {
            *done = result.bytes;
            return true;
        }
        if (result.kind == sim::IoResult::Kind::kError) {
            SetLastError(result.error);
            return false;
        }
        record.Begin(Fault::Action::kPendingStall);  // The device stalls: never ends.
        SetLastError(platform::kErrorIoPending);
        return false;
    }

    record.Begin(fault->action);
    record.injectedError = fault->error;
    if (fault->action == Fault::Action::kPendingDone) {
        sim::IoResult result = Move(*device, write, data, size);
        if (result.kind == sim::IoResult::Kind::kStall) {
            record.mode = Fault::Action::kPendingStall;
        } else {
            record.End(result.bytes, result.kind == sim::IoResult::Kind::kError ? result.error : 0);
        }
    } else if (fault->action == Fault::Action::kPendingResultFails) {
        record.End(0, fault->error);
    }
    SetLastError(platform::kErrorIoPending);
    return false;
}

std::uint32_t StillImageDriver::WaitForTransfer(platform::TransferRecord& base,
                                                std::uint32_t timeoutMs) {
    auto& record = static_cast<Record&>(base);
    if (auto fault = faults_.Check("WaitForSingleObject")) {
        SetLastError(fault->error);
        return platform::kWaitFailed;
    }
    if (record.state == Record::State::kPending) {
        if (record.mode == Fault::Action::kPendingAbandoned) return platform::kWaitAbandoned;
        if (record.mode == Fault::Action::kPendingWaitFails) {
            SetLastError(record.injectedError);
            return platform::kWaitFailed;
        }
    }
    return record.WaitEvent(clock_, timeoutMs) ? platform::kWaitObject0 : platform::kWaitTimeout;
}

bool StillImageDriver::GetOverlappedResult(platform::Handle, platform::TransferRecord& base,
                                           std::uint32_t* done, bool wait) {
    auto& record = static_cast<Record&>(base);
    *done = 0;
    if (auto fault = faults_.Check("GetOverlappedResult")) {
        SetLastError(fault->error);
        return false;
    }
    if (record.state == Record::State::kPending && wait) {
        record.WaitEvent(clock_, 0xFFFFFFFF);
    }
    if (record.state != Record::State::kEnded) {
        SetLastError(record.state == Record::State::kPending ? kErrorIoIncomplete
                                                             : platform::kErrorInvalidParameter);
        return false;
    }
    if (record.cancelled) {
        SetLastError(platform::kErrorOperationAborted);
        return false;
    }
    if (record.error != 0) {
        SetLastError(record.error);
        return false;
    }
    *done = record.bytes;
    return true;
}

bool StillImageDriver::CancelTransfer(platform::Handle, platform::TransferRecord& base) {
    auto& record = static_cast<Record&>(base);
    if (record.state != Record::State::kPending) {
        SetLastError(kErrorNotFound);
        return false;
    }
    record.cancelled = true;
    record.End(0, platform::kErrorOperationAborted);
    return true;
}

std::wstring StillImageDriver::SystemErrorText(std::uint32_t code) {
    static const std::map<std::uint32_t, const wchar_t*> kTexts = {
        {2, L"The system cannot find the file specified.\r\n"},
        {5, L"Access is denied.\r\n"},
        {6, L"The handle is invalid.\r\n"},
        {8, L"Not enough memory resources are available to process this command.\r\n"},
        {31, L"A device attached to the system is not functioning.\r\n"},
        {87, L"The parameter is incorrect.\r\n"},
        {121, L"The semaphore timeout period has expired.\r\n"},
        {995,
         L"The I/O operation has been aborted because of either a thread exit or an "
         L"application request.\r\n"},
        {996, L"Overlapped I/O event is not in a signaled state.\r\n"},
        {997, L"Overlapped I/O operation is in progress.\r\n"},
        {1167, L"The device is not connected.\r\n"},
    };
    auto it = kTexts.find(code);
    return it == kTexts.end() ? std::wstring() : std::wstring(it->second);
}

}  // namespace standin
