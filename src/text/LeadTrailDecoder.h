// The loop shared by the decoders whose characters are an ASCII byte, one other byte, or a lead
// byte and a trail byte. Each encoding passes its own parts as a small struct; all of it is
// inline, so each decoder compiles to the loop it would have written out itself.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "text/AsciiScan.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

// What an index maps a pair to, or nullptr when it maps nothing (code point 0).
inline char* put_index_code_point(char* p, char32_t cp) {
    return cp != 0 ? Utf8Writer::put(p, cp) : nullptr;
}

// The parts each encoding supplies; the put functions write at most 8 bytes and return the end,
// or nullptr for an error:
//   is_lead(byte)           byte (0x80 or above) starts a pair
//   put_pair(p, lead, byte) what lead and the byte after it stand for
//   put_single(p, byte)     what a byte (0x80 or above) that is no lead stands for
// and, optionally, when a pair may have a second lead byte:
//   take_second_lead(lead, byte)  true when byte is a second lead, which then waits for its trail
template <class Encoding>
concept LeadTrailEncoding = requires(Encoding& encoding, char* p, std::uint8_t byte) {
    { encoding.is_lead(byte) } -> std::same_as<bool>;
    { encoding.put_pair(p, byte, byte) } -> std::same_as<char*>;
    { encoding.put_single(p, byte) } -> std::same_as<char*>;
};

template <LeadTrailEncoding Encoding>
std::string decode_lead_trail(std::string_view input, Encoding encoding) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(input.data());
    const std::size_t n = input.size();
    Utf8Writer out(n + n / 2 + 16);  // a pair mostly gives three bytes

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
            if constexpr (requires { encoding.take_second_lead(leading, byte); }) {
                if (encoding.take_second_lead(leading, byte)) {
                    leading = byte;
                    continue;
                }
            }
            if (char* end = encoding.put_pair(p, std::exchange(leading, 0), byte)) {
                p = end;
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
        } else if (encoding.is_lead(byte)) {
            leading = byte;
        } else if (char* end = encoding.put_single(p, byte)) {
            p = end;
        } else {
            p = Utf8Writer::put_replacement(p);
        }
    }
    out.end(p);
    return std::move(out).finish();
}

}  // namespace qiv::text
