#include "link/device_link.h"

#include "link/byte_order.h"
#include "link/console.h"
#include "platform/platform.h"

namespace {

platform::StillImage& Driver() {
    return platform::Get().stillImage();
}
std::uint32_t LastError() {
    return platform::Get().GetLastError();
}

}  // namespace

std::wstring FormatSystemError(std::uint32_t code) {
    std::wstring message = Driver().SystemErrorText(code);
    if (message.size() > 255) message.resize(255);  // The system text fills 256 characters at most.
    return Format(L"%s-0x%x", message, code);
}

CDeviceLink::~CDeviceLink() {
    CloseLink();
}

bool CDeviceLink::OpenUsb() {
    for (int index = 0; index < DEVICE_NAME_COUNT; ++index) {
        platform::Handle device = Driver().OpenDevice(Format(L"\\\\.\\usbscan%d", index));
        if (!platform::IsValid(device)) {
            m_device = nullptr;
            continue;
        }
        std::uint8_t descriptor[8] = {};
        if (!Driver().GetDeviceDescriptor(device, descriptor)) {
            PrintConsoleMessage(1);
            platform::Get().CloseHandle(device);
            m_device = nullptr;
            continue;
        }
        if (GetLe16(&descriptor[0]) == SCANNER_VENDOR_ID &&
            GetLe16(&descriptor[2]) == SCANNER_PRODUCT_ID) {
            m_device = device;
            m_bcdDevice = GetLe16(&descriptor[4]);
            return true;
        }
        platform::Get().CloseHandle(device);
        m_device = nullptr;
    }
    m_detail = L"1-0-Device No Found!!";
    return false;
}

void CDeviceLink::CloseLink() {
    if (m_device != nullptr) {
        platform::Get().CloseHandle(m_device);
        m_device = nullptr;
    }
}

bool CDeviceLink::SendBlock(const CommandBlock& block) {
    std::array<std::uint8_t, 16> bytes = block.Bytes();
    return UsbWriteBlock(m_device, bytes.data());
}

bool CDeviceLink::SendData(const void* data, std::uint32_t size) {
    return UsbWrite(m_device, data, size);
}

bool CDeviceLink::ReceiveData(void* data, std::uint32_t size) {
    return UsbRead(m_device, data, size);
}

bool CDeviceLink::CheckHandle(platform::Handle device) {
    if (platform::IsValid(device)) return true;
    m_detail = L"2-0-Handle is empty Fail!!";
    ConsolePrint(L"Handle is empty Fail!!");
    return false;
}

std::unique_ptr<platform::TransferRecord> CDeviceLink::NewRecord() {
    std::unique_ptr<platform::TransferRecord> record = Driver().CreateTransferRecord();
    if (!record) {
        std::uint32_t error = LastError();
        m_detail = Format(L"3-1-%s", FormatSystemError(error));
        ConsolePrint(L"CreateEvent failed with error (%d)\n", error);
    }
    return record;
}

bool CDeviceLink::UsbWriteBlock(platform::Handle device, const std::uint8_t block[16]) {
    return UsbWrite(device, block, 16);
}

bool CDeviceLink::UsbWrite(platform::Handle device, const void* data, std::uint32_t size) {
    if (!CheckHandle(device)) return false;
    std::unique_ptr<platform::TransferRecord> record = NewRecord();
    if (!record) return false;
    std::uint32_t written = 0;
    // The whole buffer goes as one request, however large (a firmware image is one write).
    if (!Transfer(Direction::kWrite, device, const_cast<void*>(data), size, *record, &written)) {
        return false;
    }
    if (written != size) {
        m_detail = L"8-0-Data size not match!!!";
        PrintConsoleMessage(25);
        return false;
    }
    m_detail = L"0";
    return true;
}

bool CDeviceLink::UsbRead(platform::Handle device, void* data, std::uint32_t size) {
    if (!CheckHandle(device)) return false;
    std::unique_ptr<platform::TransferRecord> record = NewRecord();
    if (!record) return false;
    auto* bytes = static_cast<std::uint8_t*>(data);
    std::uint32_t read = 0;
    int emptyPieces = 0;
    while (read < size && emptyPieces < EMPTY_READ_PIECES_MAX) {
        std::uint32_t piece = std::min(size - read, READ_PIECE_MAX);
        std::uint32_t before = read;
        if (!Transfer(Direction::kRead, device, bytes + read, piece, *record, &read)) return false;
        // A piece of 0 bytes is asked for again; a device that never delivers ends the read.
        emptyPieces = read == before ? emptyPieces + 1 : 0;
    }
    if (read != size) {
        m_detail = L"8-0-Data size not match!!!";
        PrintConsoleMessage(25);
        return false;
    }
    m_detail = L"0";
    return true;
}

bool CDeviceLink::Transfer(Direction direction, platform::Handle device, void* data,
                           std::uint32_t size, platform::TransferRecord& record,
                           std::uint32_t* moved) {
    if (data == nullptr && size != 0) {
        // Nothing to move the bytes to or from: report it as a size mismatch.
        m_detail = L"8-0-Data size not match!!!";
        PrintConsoleMessage(25);
        return false;
    }
    std::uint32_t done = 0;
    bool ok = direction == Direction::kWrite ? Driver().WriteFile(device, data, size, &done, record)
                                             : Driver().ReadFile(device, data, size, &done, record);
    if (ok) {
        *moved += done;
        return true;
    }
    std::uint32_t error = LastError();
    if (error != platform::kErrorIoPending) {
        if (direction == Direction::kWrite) {
            m_detail = Format(L"4-1-%s", FormatSystemError(error));
            ConsolePrint(L"WriteFile failed with error (%d)\n", error);
            PrintConsoleMessage(23);
        } else {
            ConsolePrint(L"ReadFile failed with error (%d)\n", error);
            m_detail = Format(L"5-1-%s", FormatSystemError(error));
            PrintConsoleMessage(24);
        }
        return false;
    }

    ConsolePrint(L"ERROR_IO_PENDING\n");
    switch (Driver().WaitForTransfer(record, PENDING_WAIT_MS)) {
        case platform::kWaitObject0:
            if (Driver().GetOverlappedResult(device, record, &done, true)) {
                *moved += done;
                return true;
            }
            error = LastError();
            m_detail = Format(L"7-1-%s", FormatSystemError(error));
            ConsolePrint(L"GetOverlapped failed with error (%d)\n", error);
            PrintConsoleMessage(22);
            return false;
        case platform::kWaitTimeout:
            m_detail = L"6-2-USB time out error!!!";
            PrintConsoleMessage(21);
            break;
        case platform::kWaitAbandoned:
            m_detail = L"6-3-USB abandoned error!!!";
            ConsolePrint(L"USB Abandoned Fail!!\n");
            break;
        default:
            error = LastError();
            m_detail = Format(L"6-1-%s", FormatSystemError(error));
            ConsolePrint(L"WaitSingleObject failed with error (%d)\n", error);
            break;
    }
    CancelAndWait(device, record);
    return false;
}

void CDeviceLink::CancelAndWait(platform::Handle device, platform::TransferRecord& record) {
    // The request may still complete into the caller's buffer and the record: cancel it
    // and wait until the driver has let go of both.
    platform::Platform& os = platform::Get();
    std::uint32_t keepError = os.GetLastError();
    Driver().CancelTransfer(device, record);
    std::uint32_t ignored = 0;
    Driver().GetOverlappedResult(device, record, &ignored, true);
    os.SetLastError(keepError);
}
