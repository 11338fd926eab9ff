#include "link/command_exchange.h"

#include "link/console.h"
#include "link/device_link.h"

namespace {

bool OpenCarrier(CDeviceLink& link, std::wstring_view interfaceName) {
    if (interfaceName == USB_INTERFACE) return link.OpenUsb();
    link.m_detail = L"1-0-Device No Found!!";  // No other carrier exists.
    return false;
}

bool Fail(CDeviceLink& link, int line) {
    ConsolePrint(L"\t[USB Error] %d-%s\n", line, link.m_detail);
    link.CloseLink();
    return false;
}

}  // namespace

bool ExchangeCommand(std::wstring_view interfaceName, const CommandBlock& block,
                     const void* sendData, void* receiveData, void* response,
                     std::uint32_t responseSize) {
    CDeviceLink link;
    if (!OpenCarrier(link, interfaceName)) return Fail(link, 1);
    if (!link.SendBlock(block)) return Fail(link, 2);
    if (block.kind == KIND_WRITE_FIRST && !link.SendData(sendData, block.length)) {
        return Fail(link, 3);
    }
    if (!link.ReceiveData(response, responseSize)) return Fail(link, 4);
    if (block.kind == KIND_READ && !link.ReceiveData(receiveData, block.length)) {
        return Fail(link, 5);
    }
    if (block.kind == KIND_WRITE && !link.SendData(sendData, block.length)) return Fail(link, 6);
    link.CloseLink();
    return true;
}

bool ProbeDevice(std::wstring_view interfaceName, std::uint32_t* bcdDevice) {
    CDeviceLink link;
    bool found = OpenCarrier(link, interfaceName);
    if (!found) {
        ConsolePrint(L"\t[USB Error] %d-%s\n", 1, link.m_detail);
    } else if (bcdDevice != nullptr) {
        *bcdDevice = link.m_bcdDevice;
    }
    link.CloseLink();
    return found;
}
