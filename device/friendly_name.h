#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The friendly name is read into 512 bytes: at most 255 characters and their zero.
constexpr std::size_t FRIENDLY_NAME_BYTES = 512;

// The "FriendlyName" value of HKEY_LOCAL_MACHINE\keyPath; false when it cannot be read
// or does not fit.
bool ReadFriendlyName(std::wstring_view keyPath, std::wstring* name);
