#include "text/Big5Decoder.h"

#include <cstdint>

#include "text/AsciiScan.h"
#include "text/IndexCodePoint.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

namespace {

// Pointers that stand for a letter and a combining mark: the index holds one code point a
// pointer, so these four pairs live here. 0x88 0x62, 0x88 0x64, 0x88 0xA3 and 0x88 0xA5.
// Writes the pair and returns its end, or returns nullptr for any other pointer.
char* put_pair(char* p, std::size_t pointer) {
    char32_t base;
    char32_t mark;
    switch (pointer) {
    case 1133: base = 0x00CA, mark = 0x0304; break;
    case 1135: base = 0x00CA, mark = 0x030C; break;
    case 1164: base = 0x00EA, mark = 0x0304; break;
    case 1166: base = 0x00EA, mark = 0x030C; break;
    default: return nullptr;
    }
    return Utf8Writer::put(Utf8Writer::put(p, base), mark);
}

}  // namespace

std::string Big5Decoder::decode(std::string_view input) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(input.data());
    const std::size_t n = input.size();
    Utf8Writer out(n + n / 2 + 16);  // a pair gives at most three bytes, or four for two bytes

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
            const unsigned offset = byte < 0x7F ? 0x40 : 0x62;
            char32_t cp = 0;
            if ((byte >= 0x40 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xFE)) {
                const std::size_t pointer = std::size_t(lead - 0x81) * 157 + (byte - offset);
                if (char* end = put_pair(p, pointer)) {
                    p = end;
                    continue;
                }
                cp = index::big5(pointer);
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
        } else if (byte >= 0x81 && byte <= 0xFE) {
            leading = byte;
        } else {
            p = Utf8Writer::put_replacement(p);
        }
    }
    out.end(p);
    return std::move(out).finish();
}

}  // namespace qiv::text
