// An emulated still-image driver: 256 device slots on which tests and the demo plug
// simulated devices, with every call open to injected faults and counters that show
// what is left open.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/linux/clocks.h"
#include "platform/linux/fault_plan.h"
#include "platform/linux/handle_table.h"
#include "platform/still_image.h"
#include "sim/usb_device.h"

namespace standin {

class StillImageDriver : public platform::StillImage {
  public:
    static constexpr int kSlots = 256;

    StillImageDriver(HandleTable& handles, Clock& clock, FaultPlan& faults);

    void Plug(int index, std::shared_ptr<sim::UsbDevice> device);
    void Unplug(int index);

    platform::Handle OpenDevice(std::wstring_view name) override;
    bool GetDeviceDescriptor(platform::Handle device, std::uint8_t descriptor[8]) override;
    std::unique_ptr<platform::TransferRecord> CreateTransferRecord() override;
    bool WriteFile(platform::Handle device, const void* data, std::uint32_t size,
                   std::uint32_t* done, platform::TransferRecord& record) override;
    bool ReadFile(platform::Handle device, void* data, std::uint32_t size, std::uint32_t* done,
                  platform::TransferRecord& record) override;
    std::uint32_t WaitForTransfer(platform::TransferRecord& record,
                                  std::uint32_t timeoutMs) override;
    bool GetOverlappedResult(platform::Handle device, platform::TransferRecord& record,
                             std::uint32_t* done, bool wait) override;
    bool CancelTransfer(platform::Handle device, platform::TransferRecord& record) override;
    std::wstring SystemErrorText(std::uint32_t code) override;

    // Transfer records released while their transfer could still complete into the
    // caller's buffer: each one is a fault of the caller.
    std::size_t AbandonedPendingTransfers() const { return abandonedPending_.load(); }
    // Transfers that went pending and have not ended or been cancelled.
    std::size_t PendingTransfers() const { return pending_.load(); }

    // Counts used by the records (internal).
    std::atomic<std::size_t> pending_{0};
    std::atomic<std::size_t> abandonedPending_{0};

  private:
    std::shared_ptr<sim::UsbDevice> DeviceOf(platform::Handle handle);
    bool Transfer(bool write, platform::Handle device, void* data, std::uint32_t size,
                  std::uint32_t* done, platform::TransferRecord& record);

    HandleTable& handles_;
    Clock& clock_;
    FaultPlan& faults_;
    std::mutex mutex_;
    std::array<std::shared_ptr<sim::UsbDevice>, kSlots> slots_;
};

}  // namespace standin
