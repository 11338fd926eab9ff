// The scanner's life on the clock: busy after plug-in, idle, burning an image, done,
// off the bus, booting the new firmware, idle again. Everything is worked out from the
// time of each call, so the device needs no thread. Not thread-safe: VeloraDevice
// guards it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "sim/velora_config.h"
#include "sim/velora_images.h"

namespace sim {

enum class Stage {
    kBusy,        // busy after plug-in or power-on
    kIdle,        // ready (or in the boot loader) and willing to take an image
    kBurning,     // burning a right image
    kBurnFailed,  // the last image was wrong or its burn failed; idle otherwise
    kDone,        // burnt, still on the bus before it powers off
    kOff,         // off the bus for the restart
    kGone,        // vanished for good
};

struct LifeStatus {
    Stage stage = Stage::kIdle;
    bool present = true;
    std::uint16_t deviceState = kStateReady;
    std::uint8_t burnPercent = 0;
    std::uint32_t burnError = 0;  // the error code the burn status request reports
};

class VeloraLife {
  public:
    VeloraLife(const VeloraConfig& config, std::uint64_t nowMs);

    // Brings the life up to nowMs (a device whose off time has ended boots its new
    // firmware) and tells where it stands.
    LifeStatus At(std::uint64_t nowMs);

    // A whole image arrived. Burns it when it is the one this device needs and the device
    // is idle; a wrong one fails the burn at once. Returns whether it is being burnt.
    bool TakeImage(std::uint16_t parameter, std::uint64_t size,
                   const std::array<std::uint8_t, 4>& head, std::uint64_t nowMs);

    void Vanish() { gone_ = true; }

    std::uint16_t Release() const { return release_; }
    std::uint32_t MainBoardVersion() const { return mainBoard_; }
    std::uint32_t PanelVersion() const { return panel_; }
    // Power-ons since plug-in: a restart forgets any command half done.
    std::uint32_t Boots() const { return boots_; }

  private:
    bool InBootLoader() const { return release_ == kReleaseBootLoader; }
    std::uint16_t IdleState() const { return InBootLoader() ? config_.recoveryState : kStateReady; }

    struct Burn {
        std::uint64_t startMs;
        const FirmwareImage* image;
    };

    const VeloraConfig config_;
    std::uint16_t release_;
    std::uint32_t mainBoard_;
    std::uint32_t panel_;
    std::uint64_t busyUntil_;
    std::optional<Burn> burn_;
    bool failed_ = false;
    std::uint8_t failedPercent_ = 0;
    bool gone_ = false;
    std::uint32_t boots_ = 0;
};

}  // namespace sim
