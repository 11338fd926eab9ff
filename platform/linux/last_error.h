// The calling thread's last error on the stand-in platform.
#pragma once

#include <cstdint>

namespace standin {
std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);
}  // namespace standin
