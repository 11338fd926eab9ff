// One firmware update: make sure the scanner can be updated, choose its image, send it
// and follow the scanner until it is ready again.
#include <array>

#include "app/fwupdate_dlg.h"
#include "app/load_text.h"
#include "device/relay_marker.h"
#include "device/response_block.h"
#include "device/versions.h"
#include "link/command_exchange.h"
#include "link/console.h"
#include "update/firmware_images.h"

namespace {
constexpr std::uint32_t kPollMs = 1000;
constexpr std::uint64_t kServiceLimitMs = 100000;
constexpr std::uint64_t kIdleLimitMs = 600000;
constexpr std::uint32_t kRecoveryRelease = 1;
constexpr int kLimitNormal = 60;
constexpr int kLimitRecovery = 90;
}  // namespace

bool CFWUpdateDlg::RunUpdate(std::wstring_view interfaceName, int row) {
    platform::Clock& clock = platform::Get().clock();
    auto fail = [&](int textId) {
        ShowRowStatus(row, LoadText(textId));
        return false;
    };

    // Presence, and which firmware the scanner runs.
    std::uint32_t release = 0;
    if (!ProbeDevice(interfaceName, &release)) return fail(248);
    bool recovery = release == kRecoveryRelease;

    // The imaging service must be closed and its thread done before the scanner is touched.
    std::uint64_t start = clock.NowMs();
    while (!CheckWiaClosed(0, 3)) {
        if (clock.NowMs() - start >= kServiceLimitMs) return fail(226);
        clock.SleepMs(kPollMs);
    }

    if (!recovery) {
        if (!LockScanApplications()) return false;  // It has shown whose the scanner is.
        std::array<std::uint8_t, VERSION_BLOCK_SIZE> versionBytes{};
        std::array<std::uint8_t, RESPONSE_SIZE> response{};
        if (!ExchangeCommand(interfaceName, VersionRequest(), nullptr, versionBytes.data(),
                             response.data(), RESPONSE_SIZE)) {
            return fail(212);
        }
        VersionBlock versions = VersionBlock::FromBytes(versionBytes.data());
        ConsolePrint(L"[GetDeviceStatus]: MB Ver: (%s)/ Panel Ver:(%s)\n",
                     FormatVersion(versions.mainBoardVersion),
                     FormatVersion(versions.panelVersion));
        if (IsLatestFirmware(interfaceName, versions.mainBoardVersion, versions.panelVersion)) {
            return fail(252);
        }
    }

    // Wait until the scanner is idle.
    start = clock.NowMs();
    ResponseBlock last;
    for (;;) {
        std::array<std::uint8_t, RESPONSE_SIZE> response{};
        if (!ExchangeCommand(interfaceName, StatusRequest(), nullptr, nullptr, response.data(),
                             RESPONSE_SIZE)) {
            return fail(212);
        }
        last = ResponseBlock::FromBytes(response.data());
        if (last.deviceState == STATE_READY || last.deviceState == STATE_LLBOOT) break;
        ShowRowStatus(row, LoadText(211));
        clock.SleepMs(kPollMs);
        if (clock.NowMs() - start >= kIdleLimitMs) return fail(213);
    }
    ConsolePrint(L"UBoot Version: (%u)\n\n", last.ubootVersion);

    ImageChoice image = ChooseImage(ProbeRelayMarker(interfaceName), last.ubootVersion);
    return TransferAndBurn(interfaceName, image.number, image.parameter,
                           recovery ? Variant::kRecovery : Variant::kNormal,
                           recovery ? kLimitRecovery : kLimitNormal, row);
}
