// Another still-image device on the bus, not a Velora: its own vendor and product, or a
// descriptor request that fails. It swallows writes and answers no read, so a host that
// talks to it by mistake fails visibly; tests check that it was left alone.
#pragma once

#include <atomic>
#include <cstdint>

#include "sim/usb_device.h"

namespace sim {

class OtherImagingDevice : public UsbDevice {
  public:
    static constexpr std::uint16_t kVendor = 0x1B2E;
    static constexpr std::uint16_t kProduct = 0x0A14;

    explicit OtherImagingDevice(bool descriptorFails = false, std::uint16_t vendor = kVendor,
                                std::uint16_t product = kProduct);

    bool Present() override { return true; }
    bool Descriptor(std::uint8_t descriptor[8]) override;
    IoResult Write(std::span<const std::uint8_t> data) override;
    IoResult Read(std::span<std::uint8_t> buffer) override;

    // Writes and reads that reached it.
    std::uint32_t Transfers() const { return transfers_.load(); }

  private:
    const bool descriptorFails_;
    const std::uint16_t vendor_;
    const std::uint16_t product_;
    std::atomic<std::uint32_t> transfers_{0};
};

}  // namespace sim
