#include "sim/setup_entry.h"

#include <cstdint>
#include <memory>

#include "app/text_format.h"
#include "sim/velora_device.h"

namespace sim {

std::optional<SetupEntry> DescribeForSetup(UsbDevice& device, const std::wstring& scannerName) {
    std::uint8_t descriptor[8] = {};
    if (!device.Descriptor(descriptor)) return std::nullopt;
    auto word = [&](int at) { return descriptor[at] | descriptor[at + 1] << 8; };
    SetupEntry entry;
    entry.hardwareId = Format(L"USB\\VID_%04X&PID_%04X", word(0), word(2));
    entry.revisionId = Format(L"%s&REV_%04X", entry.hardwareId, word(4));
    const bool scanner = dynamic_cast<VeloraDevice*>(&device) != nullptr;
    entry.friendlyName = scanner ? scannerName : L"Imaging Device";
    return entry;
}

}  // namespace sim
