// Sends one firmware image and follows the scanner through burning, power-off, power-on
// and ready. The device does the work; the tool watches, shows progress and decides when
// to give up.
#include <array>
#include <cmath>

#include "app/fwupdate_dlg.h"
#include "app/load_text.h"
#include "app/text_format.h"
#include "device/response_block.h"
#include "link/command_exchange.h"
#include "link/console.h"

namespace {

constexpr std::uint32_t kPollMs = 1000;
constexpr std::uint32_t kSettleMs = 6000;
constexpr std::uint64_t kReadyLimitMs = 600000;
constexpr int kReadyRepliesNormal = 5;
// The device reports its own progress while it burns; a burn that has not ended after
// this long is not going to end.
constexpr std::uint64_t kBurnLimitMs = 1800000;

struct Poll {
    bool ok;
    ResponseBlock response;
};

Poll Exchange(std::wstring_view interfaceName, const CommandBlock& block) {
    std::array<std::uint8_t, RESPONSE_SIZE> response{};
    bool ok =
        ExchangeCommand(interfaceName, block, nullptr, nullptr, response.data(), RESPONSE_SIZE);
    return {ok, ResponseBlock::FromBytes(response.data())};
}

}  // namespace

bool CFWUpdateDlg::TransferAndBurn(std::wstring_view interfaceName, int imageNumber,
                                   std::uint16_t imageParameter, Variant variant, int limit,
                                   int row) {
    platform::Clock& clock = platform::Get().clock();
    auto seconds = [&](std::uint64_t since) {
        return static_cast<int>((clock.NowMs() - since) / 1000);
    };
    auto fail = [&](int textId) {
        ShowRowStatus(row, LoadText(textId));
        return false;
    };
    // Message 242 with the percentage, and a full stop per counter step (none to three).
    auto progress = [&](int percent, int counter) {
        std::wstring text = Format(LoadText(242), percent) + std::wstring(counter % 4, L'.');
        ConsolePrint(L"\r%s", text);
        ShowRowStatus(row, text);
    };
    bool recovery = variant == Variant::kRecovery;

    // Load.
    const std::uint8_t* image = nullptr;
    std::uint32_t size = 0;
    if (!LoadFirmwareImage(imageNumber, row, &image, &size)) return false;

    // Send: the whole image in one data phase, straight from the program's resources.
    ShowRowStatus(row, LoadText(214));
    std::uint64_t start = clock.NowMs();
    std::array<std::uint8_t, RESPONSE_SIZE> response{};
    if (!ExchangeCommand(interfaceName, FirmwareImageRequest(imageParameter, size), image, nullptr,
                         response.data(), RESPONSE_SIZE)) {
        return fail(216);
    }
    ConsolePrint(L"The FW data transfer took %d seconds.\n", seconds(start));
    ShowRowStatus(row, LoadText(217));

    // Settle.
    ConsolePrint(L"Software sleep 6 seconds start...\n");
    clock.SleepMs(kSettleMs);
    ConsolePrint(L"Software sleep 6 seconds finish...\n");

    // Burn watch: the device's own percentage until it reports done.
    if (!recovery) {
        start = clock.NowMs();
        for (int polls = 1;; ++polls) {
            Poll burn = Exchange(interfaceName, BurnStatusRequest());
            if (!burn.ok) {
                ConsolePrint(L"Burning firmware error!! (At %d second)\n", seconds(start));
                return fail(220);
            }
            const ResponseBlock& r = burn.response;
            if (r.errorCode != 0) {
                ConsolePrint(L"Device has ErrorCode (0x%x) (At %d second)\n", r.errorCode,
                             seconds(start));
            }
            if (r.errorCode == DEVICE_ERROR_BURN) {
                ConsolePrint(L"Burning firmware error!! (At %d second)\n", seconds(start));
                return fail(220);
            }
            if (r.deviceState == STATE_FW_UPDATE) {
                progress(r.burnPercent, polls);
                clock.SleepMs(kPollMs);
                if (clock.NowMs() - start >= kBurnLimitMs) {
                    ConsolePrint(L"\nBurning firmware error!! (At %d second)\n", seconds(start));
                    return fail(220);
                }
                continue;
            }
            if (r.deviceState == STATE_READY) {
                SetRowStatus(row, LoadText(219));
                ConsolePrint(L"\n");
                SetStatusLabel(GetRowStatus(row));
                ConsolePrint(L"The device update took %d seconds.\n", seconds(start));
                break;
            }
            ConsolePrint(L"Device FWInfo not correct (0x%x) (At %d second)\n", r.deviceState,
                         seconds(start));
            ConsolePrint(L"Burning firmware error!! (At %d second)\n", seconds(start));
            return fail(220);
        }
    }

    // Power-off: the device leaves the bus when it restarts.
    start = clock.NowMs();
    if (!recovery) {
        ShowRowStatus(row, LoadText(233));
    } else {
        Poll first = Exchange(interfaceName, BurnStatusRequest());
        if (!first.ok) {
            ConsolePrint(
                L"Burning firmware error!! (After send data first time check status...)\n");
            return fail(220);
        }
        ConsolePrint(L"Device ErrorCode (0x%x) (After send data first time check status...)\n",
                     first.response.errorCode);
        ConsolePrint(L"Device FWInfo (0x%x) (After send data first time check status...)\n",
                     first.response.deviceState);
    }
    int offCount = 0;
    for (int k = 1;; ++k) {
        if (!ProbeDevice(interfaceName)) {
            offCount = k;
            break;
        }
        if (recovery) progress(static_cast<int>(std::trunc(k * 100.0 / limit)), k);
        if (k >= limit) return fail(235);
        clock.SleepMs(kPollMs);
    }
    ConsolePrint(L"The device power-off took %d seconds.\n", seconds(start));

    // The boot loader reports no progress: carry the percentage to 100 in three steps.
    if (recovery) {
        start = clock.NowMs();
        int n = offCount;
        int r = limit - n;
        for (int j = 1; j <= 3; ++j) {
            float f = static_cast<float>(r * j) / 3;
            double sum = static_cast<float>(n) + f;
            progress(static_cast<int>(std::trunc(sum * 100.0 / limit)), n);
            ++n;
            --r;
            clock.SleepMs(kPollMs);
        }
        ConsolePrint(L"The software faker speedup percentage took %d seconds.\n", seconds(start));
    }

    // Power-on.
    ShowRowStatus(row, LoadText(232));
    start = clock.NowMs();
    for (int k = 1;; ++k) {
        if (ProbeDevice(interfaceName)) break;
        if (k >= limit) return fail(234);
        clock.SleepMs(kPollMs);
    }
    ConsolePrint(L"The device power-on took %d seconds.\n", seconds(start));

    // Ready: five ready replies in a row (normal), or the first one (recovery).
    start = clock.NowMs();
    for (int ready = 0;;) {
        Poll status = Exchange(interfaceName, StatusRequest());
        if (!status.ok) return fail(212);
        std::uint16_t state = status.response.deviceState;
        if (state != STATE_READY && state != STATE_LLBOOT) {
            ready = 0;
            ShowRowStatus(row, LoadText(211));
        } else if (!recovery) {
            SetStatusLabel(LoadText(238));
            if (++ready >= kReadyRepliesNormal) break;
        } else {
            ShowRowStatus(row, LoadText(219));
            break;
        }
        clock.SleepMs(kPollMs);
        if (clock.NowMs() - start >= kReadyLimitMs) return fail(213);
    }
    ConsolePrint(L"The device ready took %d seconds.\n", seconds(start));
    return true;
}
