#include "sim/fnv1a.h"

#include <bit>
#include <cstring>

namespace sim {

std::uint64_t Fnv1a64(std::span<const std::uint8_t> bytes, std::uint64_t hash) {
    constexpr std::uint64_t kPrime = 0x100000001B3ull;
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes per load: sanitizers check each load, not the arithmetic.
        for (; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            for (int k = 0; k < 8; ++k, word >>= 8) {
                hash ^= word & 0xFF;
                hash *= kPrime;
            }
        }
    }
    for (; i < bytes.size(); ++i) {
        hash ^= bytes[i];
        hash *= kPrime;
    }
    return hash;
}

}  // namespace sim
