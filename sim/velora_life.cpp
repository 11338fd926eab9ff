#include "sim/velora_life.h"

namespace sim {

namespace {

std::uint64_t Plus(std::uint64_t a, std::uint64_t b) {
    return b > kForever - a ? kForever : a + b;
}

// percent/100 of a duration, without overflow.
std::uint64_t PartOf(std::uint64_t ms, std::uint8_t percent) {
    if (ms == kForever) return kForever;
    return ms / 100 * percent + ms % 100 * percent / 100;
}

// Progress of a burn that is under way (elapsed < total): 0 to 99.
std::uint8_t Progress(std::uint64_t elapsed, std::uint64_t total) {
    if (total == kForever) return 0;
    double percent = static_cast<double>(elapsed) * 100.0 / static_cast<double>(total);
    return static_cast<std::uint8_t>(percent < 99.0 ? percent : 99.0);
}

}  // namespace

VeloraLife::VeloraLife(const VeloraConfig& config, std::uint64_t nowMs)
    : config_(config),
      release_(config.release),
      mainBoard_(config.mainBoardVersion),
      panel_(config.panelVersion),
      busyUntil_(Plus(nowMs, config.busyMs)) {}

LifeStatus VeloraLife::At(std::uint64_t nowMs) {
    LifeStatus s;
    if (gone_) {
        s.stage = Stage::kGone;
        s.present = false;
        return s;
    }
    if (burn_) {
        std::uint64_t t = nowMs - burn_->startMs;
        std::uint64_t failAfter =
            config_.burnErrorAt ? PartOf(config_.burnMs, *config_.burnErrorAt) : kForever;
        if (t >= failAfter) {
            failed_ = true;
            failedPercent_ = *config_.burnErrorAt;
            burn_.reset();
        } else if (t < config_.burnMs) {
            // The boot loader burns without reporting progress.
            std::uint8_t progress = Progress(t, config_.burnMs);
            s.stage = Stage::kBurning;
            s.deviceState = InBootLoader() ? config_.recoveryState : kStateFwUpdate;
            s.burnPercent = InBootLoader() ? 0 : progress;
            if (progress >= 25 && progress < 50) s.burnError = config_.burnWarning;
            return s;
        } else if ((t -= config_.burnMs) < config_.offDelayMs) {
            s.stage = Stage::kDone;
            s.deviceState = IdleState();
            s.burnPercent = InBootLoader() ? 0 : 100;
            return s;
        } else if ((t -= config_.offDelayMs) < config_.offMs) {
            s.stage = Stage::kOff;
            s.present = false;
            return s;
        } else {
            // Back on the bus: the new firmware boots, the boot loader is left behind.
            std::uint64_t onAt =
                burn_->startMs + config_.burnMs + config_.offDelayMs + config_.offMs;
            if (InBootLoader()) release_ = kReleaseApplication;
            mainBoard_ = burn_->image->mainBoardVersion;
            panel_ = burn_->image->panelVersion;
            busyUntil_ = Plus(onAt, config_.bootMs);
            ++boots_;
            burn_.reset();
        }
    }
    bool busy = nowMs < busyUntil_;
    s.deviceState = busy ? kStateBusy : IdleState();
    s.stage = failed_ ? Stage::kBurnFailed : busy ? Stage::kBusy : Stage::kIdle;
    if (failed_) {
        s.burnError = kErrorBurnFailed;
        s.burnPercent = InBootLoader() ? 0 : failedPercent_;
    }
    return s;
}

bool VeloraLife::TakeImage(std::uint16_t parameter, std::uint64_t size,
                           const std::array<std::uint8_t, 4>& head, std::uint64_t nowMs) {
    LifeStatus s = At(nowMs);
    if (!s.present || s.stage == Stage::kBurning || s.stage == Stage::kDone) return false;
    const FirmwareImage& wanted = ExpectedImage(config_.relayMarker, config_.ubootVersion);
    // A busy device cannot burn; the host should have waited until it was idle.
    bool right = s.deviceState != kStateBusy && size == wanted.size && head == wanted.head &&
                 parameter == wanted.parameter;
    failed_ = !right;
    failedPercent_ = 0;
    if (right) burn_ = Burn{nowMs, &wanted};
    return right;
}

}  // namespace sim
