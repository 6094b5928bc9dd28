#include "text/EucKrDecoder.h"

#include <cstdint>

#include "text/AsciiScan.h"
#include "text/IndexCodePoint.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

std::string EucKrDecoder::decode(std::string_view input) {
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
            char32_t cp = 0;
            if (byte >= 0x41 && byte <= 0xFE) {
                cp = index::euc_kr(std::size_t(lead - 0x81) * 190 + (byte - 0x41));
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
