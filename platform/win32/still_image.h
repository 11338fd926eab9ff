// The still-image USB driver through the file API: \\.\usbscan<i> devices, the descriptor
// request and overlapped transfers.
#pragma once

#include "platform/still_image.h"

namespace win32 {

class StillImage final : public platform::StillImage {
  public:
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
};

}  // namespace win32
