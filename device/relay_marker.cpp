#include "device/relay_marker.h"

#include <array>

#include "device/text_conversion.h"
#include "link/command_exchange.h"
#include "link/console.h"

namespace {
// Where the shell answer carries the marker: characters 50 to 54.
constexpr std::size_t kAnswerOffset = 50;
constexpr std::size_t kAnswerLength = 5;
constexpr std::int64_t kMarkerPresent = 99999;
}  // namespace

bool ProbeRelayMarker(std::wstring_view interfaceName) {
    std::array<std::uint8_t, SHELL_COMMAND_SIZE> command{};
    TextToUtf8Buffer(RELAY_MARKER_COMMAND, command);
    std::array<std::uint8_t, RESPONSE_SIZE> response{};
    if (!ExchangeCommand(interfaceName, ShellCommandRequest(), command.data(), nullptr,
                         response.data(), RESPONSE_SIZE)) {
        return false;
    }
    std::array<std::uint8_t, SHELL_OUTPUT_SIZE> output{};
    if (!ExchangeCommand(interfaceName, ShellOutputRequest(), nullptr, output.data(),
                         response.data(), RESPONSE_SIZE)) {
        return false;
    }
    // The answer ends at its first zero byte, or with the buffer when it has none.
    std::wstring answer = AnsiBytesToText(output);
    ConsolePrint(L"FW Return Msg %s\n", answer);
    std::wstring_view field =
        std::wstring_view(answer).substr(std::min(answer.size(), kAnswerOffset), kAnswerLength);
    return DecimalPrefix(field) == kMarkerPresent;
}
