// What one simulated Velora is like: identity, firmware, timing on the clock and faults.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace sim {

constexpr std::uint16_t kVeloraVendor = 0x7A5C;
constexpr std::uint16_t kVeloraProduct = 0x3C21;
constexpr std::uint16_t kReleaseApplication = 0x0100;  // running its normal firmware
constexpr std::uint16_t kReleaseBootLoader = 1;        // running its boot loader (recovery)

// Device states of the response block.
constexpr std::uint16_t kStateReady = 0;
constexpr std::uint16_t kStateBusy = 4;
constexpr std::uint16_t kStateLlboot = 6;
constexpr std::uint16_t kStateFwUpdate = 7;

// Error code of a burn that failed (a wrong image, or a fault while burning).
constexpr std::uint32_t kErrorBurnFailed = 0x7001;

// A duration that never ends.
constexpr std::uint64_t kForever = std::numeric_limits<std::uint64_t>::max();

constexpr std::uint32_t PackVersion(std::uint16_t major, std::uint16_t minor) {
    return std::uint32_t{major} << 16 | minor;
}

// The requests the scanner knows; a stall names one of them.
enum class Request {
    kNone,
    kIdentification,
    kVersion,
    kStatus,
    kImage,
    kBurnStatus,
    kShellCommand,
    kShellOutput,
    kOther,
};

// Which phase of the stalled request never ends. kData is the request's data phase, or
// its response when it has none.
enum class StallPhase { kBlock, kResponse, kData };

struct VeloraConfig {
    std::uint16_t release = kReleaseApplication;
    std::string identification = "VLR-204718";  // up to 14 bytes of UTF-8
    std::uint32_t mainBoardVersion = PackVersion(3, 5);
    std::uint32_t panelVersion = PackVersion(3, 98);
    bool relayMarker = false;
    std::uint8_t ubootVersion = 8;
    std::uint16_t recoveryState = kStateLlboot;  // what the boot loader reports while idle

    // Milliseconds of the clock; kForever never ends.
    std::uint64_t busyMs = 0;         // busy after plug-in
    std::uint64_t burnMs = 25000;     // burning a right image
    std::uint64_t offDelayMs = 3000;  // burn done until it leaves the bus (kForever: never)
    std::uint64_t offMs = 5000;       // off the bus (kForever: never comes back)
    std::uint64_t bootMs = 3000;      // busy after power-on

    bool descriptorFails = false;
    bool vanishInImage = false;  // leaves the bus for good at the image's data
    Request stallRequest = Request::kNone;
    StallPhase stallPhase = StallPhase::kData;
    std::uint32_t stallTimes = 0;             // 0: every time
    std::optional<std::uint8_t> burnErrorAt;  // burn fails at this percentage
    std::uint32_t burnWarning = 0;            // non-fatal error code in the second quarter
};

}  // namespace sim
