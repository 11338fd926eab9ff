#include "device/versions.h"

#include "app/text_format.h"
#include "device/relay_marker.h"
#include "device/text_conversion.h"
#include "link/byte_order.h"

namespace {
constexpr wchar_t kTargetMainBoard[] = L"3.61";
constexpr wchar_t kTargetPanelWithMarker[] = L"0.111";
constexpr wchar_t kTargetPanel[] = L"3.116";

}  // namespace

VersionBlock VersionBlock::FromBytes(const std::uint8_t bytes[VERSION_BLOCK_SIZE]) {
    return VersionBlock{GetLe32(bytes + MAIN_BOARD_VERSION_OFFSET),
                        GetLe32(bytes + PANEL_VERSION_OFFSET)};
}

std::wstring FormatVersion(std::uint32_t packed, std::uint16_t* major, std::uint16_t* minor) {
    auto high = static_cast<std::uint16_t>(packed >> 16);
    auto low = static_cast<std::uint16_t>(packed & 0xFFFF);
    if (major != nullptr) *major = high;
    if (minor != nullptr) *minor = low;
    return Format(L"%u.%02u", high, low);
}

std::uint32_t ParseVersion(std::wstring_view text) {
    std::size_t dot = text.find(L'.');
    if (text.empty() || dot == std::wstring_view::npos) return 0;
    auto major = static_cast<std::uint16_t>(DecimalPrefix(text.substr(0, dot)));
    auto minor = static_cast<std::uint16_t>(DecimalPrefix(text.substr(dot + 1)));
    return std::uint32_t{major} << 16 | minor;
}

bool IsLatestFirmware(std::wstring_view interfaceName, std::uint32_t mainBoardVersion,
                      std::uint32_t panelVersion) {
    std::uint32_t expectedMainBoard = ParseVersion(kTargetMainBoard);
    bool marker = ProbeRelayMarker(interfaceName);
    std::uint32_t expectedPanel = ParseVersion(marker ? kTargetPanelWithMarker : kTargetPanel);
    return mainBoardVersion == expectedMainBoard && panelVersion == expectedPanel;
}
