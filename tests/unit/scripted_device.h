// A minimal USB device for link tests: takes any write, fills every read with a counting
// pattern, and records each request as "W<bytes>" or "R<bytes>".
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "link/byte_order.h"
#include "sim/usb_device.h"

// The USB device descriptor of a device: vendor, product, release number, language.
inline void WriteDescriptor(std::uint8_t d[8], std::uint16_t vendor = 0x7A5C,
                            std::uint16_t product = 0x3C21, std::uint16_t release = 0x0100) {
    PutLe16(d, vendor);
    PutLe16(d + 2, product);
    PutLe16(d + 4, release);
    PutLe16(d + 6, 0x0409);
}

class ScriptedDevice : public sim::UsbDevice {
  public:
    ScriptedDevice(std::uint16_t vendor = 0x7A5C, std::uint16_t product = 0x3C21,
                   std::uint16_t release = 0x0100)
        : vendor_(vendor), product_(product), release_(release) {}

    bool Present() override { return present_; }
    bool Descriptor(std::uint8_t d[8]) override {
        if (failDescriptor_) return false;
        WriteDescriptor(d, vendor_, product_, release_);
        return true;
    }
    sim::IoResult Write(std::span<const std::uint8_t> data) override {
        std::lock_guard lock(mutex_);
        ops_.push_back("W" + std::to_string(data.size()));
        if (data.size() == 16) lastBlock_.assign(data.begin(), data.end());
        return sim::IoResult::Done(static_cast<std::uint32_t>(data.size()));
    }
    sim::IoResult Read(std::span<std::uint8_t> buffer) override {
        std::lock_guard lock(mutex_);
        ops_.push_back("R" + std::to_string(buffer.size()));
        for (std::size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = static_cast<std::uint8_t>(0xA0 + i);
        return sim::IoResult::Done(static_cast<std::uint32_t>(buffer.size()));
    }

    std::vector<std::string> Ops() {
        std::lock_guard lock(mutex_);
        return ops_;
    }
    std::vector<std::uint8_t> LastBlock() {
        std::lock_guard lock(mutex_);
        return lastBlock_;
    }
    void SetPresent(bool present) { present_ = present; }
    void FailDescriptor() { failDescriptor_ = true; }

  private:
    std::uint16_t vendor_, product_, release_;
    std::atomic<bool> present_{true};
    std::atomic<bool> failDescriptor_{false};
    std::mutex mutex_;
    std::vector<std::string> ops_;
    std::vector<std::uint8_t> lastBlock_;
};
