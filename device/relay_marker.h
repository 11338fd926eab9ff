// Asks the scanner's own command shell whether the relay marker file exists. The marker
// picks the expected panel version and the family of the firmware image to send.
#pragma once

#include <string_view>

constexpr std::size_t SHELL_COMMAND_SIZE = 256;
constexpr std::size_t SHELL_OUTPUT_SIZE = 512;
constexpr wchar_t RELAY_MARKER_COMMAND[] =
    L"ls /tmp/corvessa_cr | awk 'END {if (NR > 0){print \"99999\"}else{print \"11111\"}}'";

// True when the device reports the marker; a failed request counts as no marker.
bool ProbeRelayMarker(std::wstring_view interfaceName);
