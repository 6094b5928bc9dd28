// Finds runs of ASCII bytes a machine word at a time: the fast path shared by the decoders.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qiv::text {

inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

inline std::uint64_t load_word(const std::uint8_t* s) {
    std::uint64_t w;
    std::memcpy(&w, s, sizeof w);
    return w;
}

// The number of leading bytes of s[0, n) below 0x80.
inline std::size_t ascii_prefix(const std::uint8_t* s, std::size_t n) {
    std::size_t i = 0;
    while (n - i >= 32) {
        const std::uint64_t any = load_word(s + i) | load_word(s + i + 8) | load_word(s + i + 16) | load_word(s + i + 24);
        if ((any & kHighBits) != 0) break;
        i += 32;
    }
    for (; n - i >= 8; i += 8) {
        const std::uint64_t high = load_word(s + i) & kHighBits;
        if (high != 0) {
            if constexpr (std::endian::native == std::endian::little) {
                return i + static_cast<std::size_t>(std::countr_zero(high)) / 8;
            }
            break;
        }
    }
    while (i < n && s[i] < 0x80) ++i;
    return i;
}

// The number of bytes of s[0, n) at or above 0x80.
inline std::size_t count_non_ascii(const std::uint8_t* s, std::size_t n) {
    std::size_t count = 0;
    std::size_t i = 0;
    // Each byte's top bit moved to its low bit, then all eight summed into the top byte by one
    // multiplication: no population-count instruction is needed from the baseline target.
    for (; n - i >= 8; i += 8) count += ((load_word(s + i) & kHighBits) >> 7) * 0x0101010101010101ULL >> 56;
    for (; i < n; ++i) count += s[i] >> 7;
    return count;
}

}  // namespace qiv::text
