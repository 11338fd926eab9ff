// Search Device and the status query: is the scanner there, is it free, what does it
// run, and may it be updated. The outcome goes to row 0, the labels and "Update".
#include <array>

#include "app/fwupdate_dlg.h"
#include "app/load_text.h"
#include "app/text_format.h"
#include "device/response_block.h"
#include "device/text_conversion.h"
#include "device/versions.h"
#include "link/command_exchange.h"
#include "link/console.h"

namespace {

constexpr wchar_t kProductName[] = L"Norvik Velora";
constexpr std::size_t kIdentificationBytes = 14;
constexpr std::size_t kIdentificationChars = 10;
constexpr std::uint32_t kRecoveryRelease = 1;

struct StateRow {
    std::uint16_t state;
    const wchar_t* console;
    int text;
    bool ready;
};

}  // namespace

void CFWUpdateDlg::OnSearchDevice() {
    // The button is disabled then, but a command from the keyboard or another program
    // still arrives: no search beside an update's traffic, none once Closing has begun.
    if (closing.load() || AnySlotUpdating()) return;
    DisableCommands();
    GetDeviceStatus(0, 2);
    EnableSearchAndClose(true);  // not while an update runs (the operation decides)
}

int CFWUpdateDlg::GetDeviceStatus(int callerFlag, int eventNumber) {
    auto rowText = [&](int id) { SetRowStatus(0, LoadText(id)); };
    auto commonEnding = [&](int result) {
        SetStatusLabel(GetRowStatus(0));
        ShowDeviceLabels();
        return result;
    };

    std::uint32_t release = 0;
    if (!ProbeDevice(USB_INTERFACE, &release)) {
        ConsolePrint(L"[GetDeviceStatus]: Device not found...\n");
        rowText(248);
        SetReadyMark(0, false);
        SetDeviceName(LoadText(246));
        SetInterfaceName(L"");
        EnableUpdateButton(false);
        return commonEnding(-1);
    }
    if (!CheckWiaClosed(callerFlag, eventNumber)) return -1;

    std::wstring identification;
    bool latest = false;
    bool exchanged = false;
    std::array<std::uint8_t, RESPONSE_SIZE> response{};
    auto deviceName = [&] { return Format(L"%s (%s)", kProductName, identification); };

    if (release == kRecoveryRelease) {
        exchanged = ExchangeCommand(USB_INTERFACE, StatusRequest(), nullptr, nullptr,
                                    response.data(), RESPONSE_SIZE);
    } else {
        if (!HasVantorLock() && !(FindDeviceFriendlyName() && AcquireBusyLock(2))) {
            ConsolePrint(L"[GetDeviceStatus]: Vantor Mutex lock fail...\n");
            rowText(247);
            SetReadyMark(0, false);
            SetDeviceName(deviceName());
            SetInterfaceName(USB_INTERFACE);
            EnableUpdateButton(false);
            return commonEnding(-1);
        }
        std::array<std::uint8_t, kIdentificationBytes + 1> id{};
        bool identified = ExchangeCommand(USB_INTERFACE, IdentificationRequest(), nullptr,
                                          id.data(), response.data(), RESPONSE_SIZE);
        if (identified) {
            identification = Utf8BytesToText(std::span(id.data(), kIdentificationBytes));
            if (identification.size() > kIdentificationChars)
                identification.resize(kIdentificationChars);
        }
        std::array<std::uint8_t, VERSION_BLOCK_SIZE> versionBytes{};
        bool versioned = ExchangeCommand(USB_INTERFACE, VersionRequest(), nullptr,
                                         versionBytes.data(), response.data(), RESPONSE_SIZE);
        exchanged = identified && versioned;
        VersionBlock versions = VersionBlock::FromBytes(versionBytes.data());
        ConsolePrint(L"[GetDeviceStatus]: MB Ver: (%s)/ Panel Ver:(%s)\n",
                     FormatVersion(versions.mainBoardVersion),
                     FormatVersion(versions.panelVersion));
        latest = IsLatestFirmware(USB_INTERFACE, versions.mainBoardVersion, versions.panelVersion);
    }

    if (!exchanged) {
        ConsolePrint(L"[GetDeviceStatus]: Check device status error...\n");
        rowText(212);
        SetReadyMark(0, false);
        SetDeviceName(deviceName());
        SetInterfaceName(USB_INTERFACE);
        EnableUpdateButton(false);
        return commonEnding(-1);
    }

    std::uint16_t state = ResponseBlock::FromBytes(response.data()).deviceState;
    static const StateRow kRows[] = {
        {STATE_LLBOOT, L"[GetDeviceStatus]: Check device status LLBOOT...\n", 243, true},
        {STATE_BUSY, L"[GetDeviceStatus]: Check device status BUSY...\n", 250, false},
        {STATE_FW_UPDATE, L"[GetDeviceStatus]: Check device status FW_UPDATE...\n", 217, false},
    };
    StateRow row{state, L"[GetDeviceStatus]: Check device status incorrect (%d)...\n", 251, false};
    if (state == STATE_READY) {
        row =
            latest
                ? StateRow{state,
                           L"[GetDeviceStatus]: Check device status READY but device version is "
                           L"latest!!\n",
                           252, false}
                : StateRow{state, L"[GetDeviceStatus]: Check device status READY...\n", 249, true};
    }
    for (const StateRow& known : kRows) {
        if (known.state == state) row = known;
    }
    ConsolePrint(row.console, state);
    rowText(row.text);
    SetReadyMark(0, row.ready);
    SetDeviceName(deviceName());
    SetInterfaceName(USB_INTERFACE);
    // While an update runs, its thread owns "Update".
    if (slots[0].updateRunning.load() == 0) EnableUpdateButton(row.ready);
    return commonEnding(state);
}
