// FNV-1a, 64 bits: a checksum cheap enough to run over a whole firmware image as it
// streams through the simulated scanner, so tests can compare images without a copy.
#pragma once

#include <cstdint>
#include <span>

namespace sim {

constexpr std::uint64_t kFnv1aStart = 0xCBF29CE484222325ull;

// Continues a checksum over more bytes; start with kFnv1aStart.
std::uint64_t Fnv1a64(std::span<const std::uint8_t> bytes, std::uint64_t hash = kFnv1aStart);

}  // namespace sim
