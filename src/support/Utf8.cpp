#include "support/Utf8.h"

#include <cstdint>
#include <cstring>

namespace qiv {

bool is_valid_utf8(std::string_view bytes) noexcept {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size(), i = 0;
    while (i < n) {
        // ASCII runs, eight bytes at a time.
        while (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, s + i, 8);
            if (word & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= n) break;
        size_t length = utf8_sequence_length(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

size_t utf8_sequence_length(std::string_view bytes, size_t i) noexcept {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) return 1;
    size_t need;
    // Bounds of the second byte exclude overlong forms, surrogates and values past U+10FFFF.
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() - i <= need) return 0;
    for (size_t j = 1; j <= need; ++j) {
        const auto t = static_cast<unsigned char>(bytes[i + j]);
        if (t < lo || t > hi) return 0;
        lo = 0x80;
        hi = 0xBF;
    }
    return need + 1;
}

}  // namespace qiv
