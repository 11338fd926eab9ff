// The still-image USB driver: numbered devices "\\.\usbscan<i>", their USB device
// descriptor, and reads and writes that complete at once, fail, or go on in the
// background (pending) with an event that tells when they end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace platform {

// The driver's get-device-descriptor control code.
constexpr std::uint32_t kIoctlGetDeviceDescriptor = 0x80002018;

// One transfer's record: an overlapped structure with offset 0 and its own unnamed,
// auto-reset event. It must outlive the transfer it was used for: a transfer that is
// still pending has to be cancelled and waited for before the record goes.
class TransferRecord {
  public:
    virtual ~TransferRecord() = default;
    virtual Handle Event() = 0;
};

class StillImage {
  public:
    virtual ~StillImage() = default;
    // Opens a device by name for reading and writing (shared, existing only, system
    // attribute, not overlapped). kInvalidHandle and the last error on failure.
    virtual Handle OpenDevice(std::wstring_view name) = 0;
    // The 8-byte USB device descriptor (vendor, product, release number, language).
    virtual bool GetDeviceDescriptor(Handle device, std::uint8_t descriptor[8]) = 0;
    // Creates a transfer record with a fresh event; null and the last error on failure.
    virtual std::unique_ptr<TransferRecord> CreateTransferRecord() = 0;
    // Write or read with the record. True when done at once (bytes moved in *done);
    // false with the last error kErrorIoPending while the transfer goes on.
    virtual bool WriteFile(Handle device, const void* data, std::uint32_t size, std::uint32_t* done,
                           TransferRecord& record) = 0;
    virtual bool ReadFile(Handle device, void* data, std::uint32_t size, std::uint32_t* done,
                          TransferRecord& record) = 0;
    // Waits for the record's event: kWaitObject0, kWaitTimeout, kWaitAbandoned or kWaitFailed.
    virtual std::uint32_t WaitForTransfer(TransferRecord& record, std::uint32_t timeoutMs) = 0;
    // The byte count of an ended transfer, waiting for it to end when wait is set.
    virtual bool GetOverlappedResult(Handle device, TransferRecord& record, std::uint32_t* done,
                                     bool wait) = 0;
    // Asks the driver to cancel the record's transfer (it still has to be waited for).
    virtual bool CancelTransfer(Handle device, TransferRecord& record) = 0;
    // The system's message for an error code in English (United States), with its own
    // line end; empty when the system has none.
    virtual std::wstring SystemErrorText(std::uint32_t code) = 0;
};

}  // namespace platform
