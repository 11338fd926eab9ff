#include "platform/win32/still_image.h"

#include "platform/win32/windows_api.h"

namespace win32 {

namespace {

// An OVERLAPPED record that owns its auto-reset event.
class TransferRecord final : public platform::TransferRecord {
  public:
    explicit TransferRecord(HANDLE event) { overlapped_.hEvent = event; }
    ~TransferRecord() override { ::CloseHandle(overlapped_.hEvent); }
    TransferRecord(const TransferRecord&) = delete;
    TransferRecord& operator=(const TransferRecord&) = delete;

    platform::Handle Event() override { return overlapped_.hEvent; }

    // The record for the next transfer: every transfer starts at offset 0.
    OVERLAPPED* Next() {
        overlapped_.Offset = 0;
        overlapped_.OffsetHigh = 0;
        return &overlapped_;
    }
    OVERLAPPED* Current() { return &overlapped_; }

  private:
    OVERLAPPED overlapped_{};
};

TransferRecord& Win32Record(platform::TransferRecord& record) {
    return static_cast<TransferRecord&>(record);
}

}  // namespace

platform::Handle StillImage::OpenDevice(std::wstring_view name) {
    const std::wstring path = Terminated(name);
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_SYSTEM, nullptr);
}

bool StillImage::GetDeviceDescriptor(platform::Handle device, std::uint8_t descriptor[8]) {
    DWORD returned = 0;
    return ::DeviceIoControl(device, platform::kIoctlGetDeviceDescriptor, descriptor, 8, descriptor,
                             8, &returned, nullptr) != FALSE;
}

std::unique_ptr<platform::TransferRecord> StillImage::CreateTransferRecord() {
    HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (event == nullptr) return nullptr;
    return std::make_unique<TransferRecord>(event);
}

bool StillImage::WriteFile(platform::Handle device, const void* data, std::uint32_t size,
                           std::uint32_t* done, platform::TransferRecord& record) {
    DWORD written = 0;
    const BOOL ok = ::WriteFile(device, data, size, &written, Win32Record(record).Next());
    *done = written;
    return ok != FALSE;
}

bool StillImage::ReadFile(platform::Handle device, void* data, std::uint32_t size,
                          std::uint32_t* done, platform::TransferRecord& record) {
    DWORD read = 0;
    const BOOL ok = ::ReadFile(device, data, size, &read, Win32Record(record).Next());
    *done = read;
    return ok != FALSE;
}

std::uint32_t StillImage::WaitForTransfer(platform::TransferRecord& record,
                                          std::uint32_t timeoutMs) {
    return ::WaitForSingleObject(record.Event(), timeoutMs);
}

bool StillImage::GetOverlappedResult(platform::Handle device, platform::TransferRecord& record,
                                     std::uint32_t* done, bool wait) {
    DWORD moved = 0;
    const BOOL ok =
        ::GetOverlappedResult(device, Win32Record(record).Current(), &moved, wait ? TRUE : FALSE);
    *done = moved;
    return ok != FALSE;
}

bool StillImage::CancelTransfer(platform::Handle device, platform::TransferRecord& record) {
    return ::CancelIoEx(device, Win32Record(record).Current()) != FALSE;
}

std::wstring StillImage::SystemErrorText(std::uint32_t code) {
    wchar_t text[256];
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                         MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, 256, nullptr);
    return std::wstring(text, length);
}

}  // namespace win32
