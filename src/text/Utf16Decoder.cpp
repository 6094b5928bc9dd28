#include "text/Utf16Decoder.h"

#include <cstdint>

#include "text/Utf8Writer.h"

namespace qiv::text {

namespace {

bool is_leading_surrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_trailing_surrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::string Utf16Decoder::decode(std::string_view input, bool big_endian) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(input.data());
    const std::size_t n = input.size();
    Utf8Writer out(n + n / 2 + 4);  // a BMP unit is two bytes in and at most three out

    std::size_t i = 0;
    char32_t leading_surrogate = 0;  // 0: none
    char* p = out.begin();
    for (;;) {
        p = out.ensure(p, 4);  // room for what one unit of input can produce
        if (n - i < 2) {
            // End of input, with perhaps a lone leading byte: one error for whatever is pending.
            if (i < n || leading_surrogate != 0) p = Utf8Writer::put_replacement(p);
            break;
        }
        char32_t unit = big_endian ? char32_t{s[i]} << 8 | s[i + 1] : char32_t{s[i + 1]} << 8 | s[i];
        i += 2;
        if (leading_surrogate != 0) {
            char32_t lead = leading_surrogate;
            leading_surrogate = 0;
            if (is_trailing_surrogate(unit)) {
                p = Utf8Writer::put(p, 0x10000 + ((lead - 0xD800) << 10) + (unit - 0xDC00));
                continue;
            }
            // The unit's two bytes go back to the input and are read again as the next unit.
            i -= 2;
            p = Utf8Writer::put_replacement(p);
            continue;
        }
        if (is_leading_surrogate(unit)) {
            leading_surrogate = unit;
        } else if (is_trailing_surrogate(unit)) {
            p = Utf8Writer::put_replacement(p);
        } else {
            p = Utf8Writer::put(p, unit);
        }
    }
    out.end(p);
    return std::move(out).finish();
}

}  // namespace qiv::text
