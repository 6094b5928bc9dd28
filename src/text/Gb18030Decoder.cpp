#include "text/Gb18030Decoder.h"

#include <cstdint>

#include "text/AsciiScan.h"
#include "text/IndexCodePoint.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

std::string Gb18030Decoder::decode(std::string_view input) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(input.data());
    const std::size_t n = input.size();
    Utf8Writer out(n + n / 2 + 16);  // a two-byte sequence gives at most three bytes

    std::uint8_t first = 0;
    std::uint8_t second = 0;
    std::uint8_t third = 0;
    std::size_t i = 0;
    // Restoring bytes to the input moves i back: the bytes restored are always the last ones read.
    char* p = out.begin();
    for (;;) {
        p = out.ensure(p, 8);  // room for what one byte of input can produce
        if (i == n) {
            if ((first | second | third) != 0) p = Utf8Writer::put_replacement(p);
            break;
        }
        const std::uint8_t byte = s[i++];
        if (third != 0) {
            if (byte < 0x30 || byte > 0x39) {
                i -= 3;  // second, third and byte
                first = second = third = 0;
                p = Utf8Writer::put_replacement(p);
                continue;
            }
            // At most 125 * 12600 + 9 * 1260 + 125 * 10 + 9 = 1587599.
            std::uint32_t pointer = std::uint32_t(first - 0x81) * (10 * 126 * 10) +
                                    std::uint32_t(second - 0x30) * (10 * 126) + std::uint32_t(third - 0x81) * 10 +
                                    std::uint32_t(byte - 0x30);
            first = second = third = 0;
            char32_t cp = index::gb18030_ranges(pointer);
            if (cp != 0) {
                p = Utf8Writer::put(p, cp);
            } else {
                p = Utf8Writer::put_replacement(p);
            }
            continue;
        }
        if (second != 0) {
            if (byte >= 0x81 && byte <= 0xFE) {
                third = byte;
                continue;
            }
            i -= 2;  // second and byte
            first = second = 0;
            p = Utf8Writer::put_replacement(p);
            continue;
        }
        if (first != 0) {
            if (byte >= 0x30 && byte <= 0x39) {
                second = byte;
                continue;
            }
            const std::uint8_t leading = first;
            first = 0;
            const unsigned offset = byte < 0x7F ? 0x40 : 0x41;
            char32_t cp = 0;
            if ((byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE)) {
                cp = index::gb18030(std::size_t(leading - 0x81) * 190 + (byte - offset));
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
            p = Utf8Writer::put(p, 0x20AC);
        } else if (byte <= 0xFE) {
            first = byte;
        } else {
            p = Utf8Writer::put_replacement(p);
        }
    }
    out.end(p);
    return std::move(out).finish();
}

}  // namespace qiv::text
