#include "text/SingleByteDecoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "text/AsciiScan.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

namespace {

// A high byte's UTF-8 form, copied as four bytes and advanced by len.
struct Utf8Form {
    char bytes[3];
    std::uint8_t len;
};

}  // namespace

std::string SingleByteDecoder::decode(std::string_view input, const std::uint16_t (&index)[128]) {
    Utf8Form forms[128];
    for (int b = 0; b < 128; ++b) {
        char32_t cp = index[b] != 0 ? char32_t{index[b]} : char32_t{0xFFFD};  // unmapped: error
        Utf8Form& f = forms[b];
        if (cp < 0x80) {
            f = {{static_cast<char>(cp), 0, 0}, 1};
        } else if (cp < 0x800) {
            f = {{static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F)), 0}, 2};
        } else {
            f = {{static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                  static_cast<char>(0x80 | (cp & 0x3F))},
                 3};
        }
    }

    const auto* s = reinterpret_cast<const std::uint8_t*>(input.data());
    const std::size_t n = input.size();
    // At most three bytes out per high byte: counting them is far cheaper than growing.
    Utf8Writer out(n + 2 * count_non_ascii(s, n));
    // Each chunk's output fits the writer's staging buffer: three bytes a byte, and eight spare
    // for the whole words stored past what counts.
    constexpr std::size_t kChunk = (Utf8Writer::kStageSize - 8) / 3;
    char* p = out.begin();
    std::size_t i = 0;
    while (i < n) {
        const std::size_t stop = i + std::min(kChunk, n - i);
        p = out.ensure(p, 3 * (stop - i) + 8);
        while (i < stop) {
            if constexpr (std::endian::native == std::endian::little) {
                // A word at a time: its ASCII bytes up to the first high byte are copied whole.
                if (stop - i >= 8) {
                    const std::uint64_t w = load_word(s + i);
                    const std::uint64_t high = w & kHighBits;
                    std::memcpy(p, &w, 8);
                    if (high == 0) {
                        p += 8;
                        i += 8;
                        continue;
                    }
                    const std::size_t ascii = static_cast<std::size_t>(std::countr_zero(high)) / 8;
                    p += ascii;
                    i += ascii;
                }
            }
            const std::uint8_t b = s[i++];
            if (b < 0x80) {
                *p++ = static_cast<char>(b);
            } else {
                const Utf8Form& f = forms[b - 0x80];
                std::memcpy(p, &f, 4);
                p += f.len;
            }
        }
    }
    out.end(p);
    return std::move(out).finish();
}

}  // namespace qiv::text
