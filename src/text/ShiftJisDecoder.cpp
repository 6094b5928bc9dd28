#include "text/ShiftJisDecoder.h"

#include <cstdint>

#include "text/AsciiScan.h"
#include "text/IndexCodePoint.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

std::string ShiftJisDecoder::decode(std::string_view input) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(input.data());
    const std::size_t n = input.size();
    Utf8Writer out(n + n / 2 + 16);  // a pair gives at most three bytes

    std::uint8_t leading = 0;
    std::size_t i = 0;
    char* p = out.begin();
    for (;;) {
        p = out.ensure(p, 8);  // room for what one byte of input can produce
        if (i == n) {
            if (leading != 0) p = Utf8Writer::put_replacement(p);
            break;
        }
        const std::uint8_t byte = s[i++];
        if (leading != 0) {
            const std::uint8_t lead = leading;
            leading = 0;
            const unsigned offset = byte < 0x7F ? 0x40 : 0x41;
            const unsigned leading_offset = lead < 0xA0 ? 0x81 : 0xC1;
            char32_t cp = 0;
            if ((byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC)) {
                // Leads 81..9F and E0..FC give rows 0..59, so pointers stay below 60 * 188.
                const std::size_t pointer = std::size_t(lead - leading_offset) * 188 + (byte - offset);
                if (pointer >= 8836 && pointer <= 10715) {
                    p = Utf8Writer::put(p, static_cast<char32_t>(0xE000 - 8836 + pointer));  // user-defined area
                    continue;
                }
                cp = index::jis0208(pointer);
            }
            if (cp != 0) {
                p = Utf8Writer::put(p, cp);
                continue;
            }
            if (byte < 0x80) --i;  // an ASCII byte is not swallowed by a bad pair
            p = Utf8Writer::put_replacement(p);
            continue;
        }
        if (byte < 0x80) {
            std::size_t run = ascii_prefix(s + i, n - i);
            p = out.put_run(p, s + i - 1, run + 1);
            i += run;
        } else if (byte == 0x80) {
            p = Utf8Writer::put(p, 0x80);
        } else if (byte >= 0xA1 && byte <= 0xDF) {
            p = Utf8Writer::put(p, 0xFF61 - 0xA1 + byte);  // halfwidth katakana
        } else if (byte <= 0x9F || (byte >= 0xE0 && byte <= 0xFC)) {
            leading = byte;
        } else {
            p = Utf8Writer::put_replacement(p);
        }
    }
    out.end(p);
    return std::move(out).finish();
}

}  // namespace qiv::text
