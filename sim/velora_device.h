// One simulated Norvik Velora on the USB bus: the device side of the command protocol
// (block, data phase, response block), living on the clock through busy, burn, restart
// and ready. Thread-safe: the host may call from several threads.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "link/command_block.h"
#include "platform/clock.h"
#include "sim/device_record.h"
#include "sim/usb_device.h"
#include "sim/velora_config.h"
#include "sim/velora_life.h"

namespace sim {

struct DeviceStatus {
    Stage stage = Stage::kIdle;
    bool present = true;
    std::uint16_t deviceState = kStateReady;
    std::uint8_t burnPercent = 0;
    std::uint16_t release = 0;
    std::uint32_t mainBoardVersion = 0;
    std::uint32_t panelVersion = 0;
};

class VeloraDevice : public UsbDevice {
  public:
    VeloraDevice(platform::Clock& clock, VeloraConfig config);

    bool Present() override;
    bool Descriptor(std::uint8_t descriptor[8]) override;
    IoResult Write(std::span<const std::uint8_t> data) override;
    IoResult Read(std::span<std::uint8_t> buffer) override;

    const VeloraConfig& Config() const { return config_; }
    DeviceRecord Record() const;
    DeviceStatus Status();

  private:
    enum class Phase {
        kBlock,              // waiting for a command block
        kDataFromHostFirst,  // KIND_WRITE_FIRST data, before the response
        kResponse,
        kDataToHost,    // KIND_READ data
        kDataFromHost,  // KIND_WRITE data, after the response
    };

    // Checks presence and restarts; an absent device fails every transfer.
    bool Awake(LifeStatus& status);
    IoResult ProtocolError();
    bool ShouldStall(StallPhase phase);
    IoResult TakeBlock(std::span<const std::uint8_t> data);
    IoResult TakeData(std::span<const std::uint8_t> data);
    IoResult GiveResponse(std::span<std::uint8_t> buffer, const LifeStatus& status);
    IoResult GiveData(std::span<std::uint8_t> buffer);
    std::vector<std::uint8_t> DataFor(Request request) const;
    void StartDataFromHost();
    void EndDataFromHost();

    platform::Clock& clock_;
    const VeloraConfig config_;

    mutable std::mutex mutex_;
    VeloraLife life_;
    std::uint64_t now_ = 0;  // clock time of the current call
    std::uint32_t bootsSeen_ = 0;
    Phase phase_ = Phase::kBlock;
    CommandBlock block_;
    Request request_ = Request::kNone;
    std::uint64_t moved_ = 0;             // bytes of the current data phase so far
    std::vector<std::uint8_t> toHost_;    // the current KIND_READ data
    std::vector<std::uint8_t> fromHost_;  // the current shell command's bytes
    std::string shellOutput_;
    std::uint16_t sequence_ = 0;
    DeviceRecord record_;
};

}  // namespace sim
