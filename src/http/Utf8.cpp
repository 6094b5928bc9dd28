#include "http/Utf8.h"

namespace qiv::http {

std::size_t utf8_sequence_length(std::string_view s, std::size_t i) noexcept {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) return 1;
    std::size_t need = 0;
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
    if (i + need >= s.size()) return 0;
    for (std::size_t j = 1; j <= need; ++j) {
        const auto t = static_cast<unsigned char>(s[i + j]);
        if (t < lo || t > hi) return 0;
        lo = 0x80;
        hi = 0xBF;
    }
    return need + 1;
}

bool is_utf8(std::string_view s) noexcept {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8_sequence_length(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

}  // namespace qiv::http
