// The link of one command exchange: finds and opens the scanner among the still-image
// driver's devices and moves bytes to and from it. Every failure leaves a short numbered
// detail in m_detail for the exchange's failure line.
#pragma once

#include <cstdint>
#include <string>

#include "link/command_block.h"
#include "platform/still_image.h"

constexpr std::uint16_t SCANNER_VENDOR_ID = 0x7A5C;
constexpr std::uint16_t SCANNER_PRODUCT_ID = 0x3C21;
constexpr int DEVICE_NAME_COUNT = 256;
constexpr std::uint32_t READ_PIECE_MAX = 65536;
constexpr std::uint32_t PENDING_WAIT_MS = 1000;
// Empty read pieces in a row after which a read gives up instead of spinning forever.
constexpr int EMPTY_READ_PIECES_MAX = 100;

class CDeviceLink {
  public:
    CDeviceLink() = default;
    virtual ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    bool OpenUsb();
    bool SendBlock(const CommandBlock& block);
    bool SendData(const void* data, std::uint32_t size);
    bool ReceiveData(void* data, std::uint32_t size);
    void CloseLink();

    bool UsbWriteBlock(platform::Handle device, const std::uint8_t block[16]);
    bool UsbWrite(platform::Handle device, const void* data, std::uint32_t size);
    bool UsbRead(platform::Handle device, void* data, std::uint32_t size);

    platform::Handle m_device = nullptr;
    std::wstring m_detail;
    std::uint16_t m_bcdDevice = 0;

  private:
    enum class Direction { kWrite, kRead };
    // One write or read request with the record, waiting for it when it goes pending.
    // Adds the bytes moved to *moved; false after setting m_detail.
    bool Transfer(Direction direction, platform::Handle device, void* data, std::uint32_t size,
                  platform::TransferRecord& record, std::uint32_t* moved);
    // After a failed wait: the transfer may still be running into the caller's buffer.
    void CancelAndWait(platform::Handle device, platform::TransferRecord& record);
    bool CheckHandle(platform::Handle device);
    std::unique_ptr<platform::TransferRecord> NewRecord();
};

// The system's text for an error code in English (United States), then "-0x" and the
// code in lower-case hexadecimal.
std::wstring FormatSystemError(std::uint32_t code);
