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
    while (n - i >= 16) {
        std::uint64_t a = load_word(s + i) & kHighBits;
        std::uint64_t b = load_word(s + i + 8) & kHighBits;
        if ((a | b) != 0) {
            if constexpr (std::endian::native == std::endian::little) {
                if (a != 0) return i + static_cast<std::size_t>(std::countr_zero(a)) / 8;
                return i + 8 + static_cast<std::size_t>(std::countr_zero(b)) / 8;
            }
            break;
        }
        i += 16;
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
