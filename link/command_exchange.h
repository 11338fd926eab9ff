// One conversation with the scanner: a command block, its data phase and the response
// block, over a link opened for this command alone.
#pragma once

#include <cstdint>
#include <string_view>

#include "link/command_block.h"

// The carrier every caller names.
constexpr wchar_t USB_INTERFACE[] = L"USB";

// True only when every phase moved its full byte count. sendData is needed for
// KIND_WRITE_FIRST and KIND_WRITE, receiveData for KIND_READ; others touch neither.
bool ExchangeCommand(std::wstring_view interfaceName, const CommandBlock& block,
                     const void* sendData, void* receiveData, void* response,
                     std::uint32_t responseSize);

// Whether the scanner can be opened; hands back its USB release number when asked.
bool ProbeDevice(std::wstring_view interfaceName, std::uint32_t* bcdDevice = nullptr);
