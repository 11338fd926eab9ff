#include "sim/other_device.h"

#include "platform/types.h"

namespace sim {

OtherImagingDevice::OtherImagingDevice(bool descriptorFails, std::uint16_t vendor,
                                       std::uint16_t product)
    : descriptorFails_(descriptorFails), vendor_(vendor), product_(product) {}

bool OtherImagingDevice::Descriptor(std::uint8_t descriptor[8]) {
    if (descriptorFails_) return false;
    const std::uint16_t fields[4] = {vendor_, product_, 0x0200, 0x0409};
    for (int i = 0; i < 4; ++i) {
        descriptor[2 * i] = static_cast<std::uint8_t>(fields[i]);
        descriptor[2 * i + 1] = static_cast<std::uint8_t>(fields[i] >> 8);
    }
    return true;
}

IoResult OtherImagingDevice::Write(std::span<const std::uint8_t> data) {
    transfers_.fetch_add(1);
    return IoResult::Done(static_cast<std::uint32_t>(data.size()));
}

IoResult OtherImagingDevice::Read(std::span<std::uint8_t>) {
    transfers_.fetch_add(1);
    return IoResult::Error(platform::kErrorSemTimeout);
}

}  // namespace sim
