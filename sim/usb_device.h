// A USB device as a still-image driver sees it: present on the bus or not, a device
// descriptor, and bulk writes and reads. The simulated scanner implements it; each
// platform's emulated driver serves it under a device name.
#pragma once

#include <cstdint>
#include <span>

namespace sim {

struct IoResult {
    enum class Kind {
        kDone,   // moved `bytes`
        kError,  // failed with the system error `error`
        kStall,  // never ends; the request stays pending until it is cancelled
    };
    Kind kind = Kind::kDone;
    std::uint32_t bytes = 0;
    std::uint32_t error = 0;

    static IoResult Done(std::uint32_t bytes) { return {Kind::kDone, bytes, 0}; }
    static IoResult Error(std::uint32_t error) { return {Kind::kError, 0, error}; }
    static IoResult Stall() { return {Kind::kStall, 0, 0}; }
};

class UsbDevice {
  public:
    virtual ~UsbDevice() = default;
    // Whether the device is on the bus now (a device that powered off is not).
    virtual bool Present() = 0;
    // The 8-byte device descriptor; false when the device fails the request.
    virtual bool Descriptor(std::uint8_t descriptor[8]) = 0;
    virtual IoResult Write(std::span<const std::uint8_t> data) = 0;
    virtual IoResult Read(std::span<std::uint8_t> buffer) = 0;
};

}  // namespace sim
