#include "text/Iso2022JpDecoder.h"

#include <cstdint>

#include "text/IndexCodePoint.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

namespace {

enum class State : std::uint8_t { Ascii, Roman, Katakana, LeadByte, TrailByte, EscapeStart, Escape };

constexpr int kEndOfQueue = -1;

std::string finish(Utf8Writer& out, char* p) {
    out.end(p);
    return std::move(out).finish();
}

}  // namespace

std::string Iso2022JpDecoder::decode(std::string_view input) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(input.data());
    const std::size_t n = input.size();
    Utf8Writer out(n + n / 2 + 16);  // a pair gives at most three bytes

    State state = State::Ascii;
    State output_state = State::Ascii;  // where an escape sequence that fails goes back to
    std::uint8_t leading = 0;
    // Whether the last thing done was switching state: a second switch with nothing decoded
    // in between is an error.
    bool output = false;
    std::size_t i = 0;
    // Restoring bytes moves i back: they are always the last ones read. Each restore changes
    // the state, so the same bytes are never read again in the same state.
    char* p = out.begin();
    for (;;) {
        p = out.ensure(p, 4);  // room for what one byte of input can produce
        const int byte = i < n ? s[i++] : kEndOfQueue;
        switch (state) {
        case State::Ascii:
        case State::Roman:
            if (byte == 0x1B) {
                state = State::EscapeStart;
                continue;
            }
            if (byte == kEndOfQueue) return finish(out, p);
            output = false;
            if (byte == 0x0E || byte == 0x0F || byte > 0x7F) {
                p = Utf8Writer::put_replacement(p);
            } else if (state == State::Roman && byte == 0x5C) {
                p = Utf8Writer::put(p, 0x00A5);
            } else if (state == State::Roman && byte == 0x7E) {
                p = Utf8Writer::put(p, 0x203E);
            } else {
                p = Utf8Writer::put(p, static_cast<char32_t>(byte));
            }
            continue;
        case State::Katakana:
            if (byte == 0x1B) {
                state = State::EscapeStart;
                continue;
            }
            if (byte == kEndOfQueue) return finish(out, p);
            output = false;
            if (byte >= 0x21 && byte <= 0x5F) {
                p = Utf8Writer::put(p, static_cast<char32_t>(0xFF61 - 0x21 + byte));
            } else {
                p = Utf8Writer::put_replacement(p);
            }
            continue;
        case State::LeadByte:
            if (byte == 0x1B) {
                state = State::EscapeStart;
                continue;
            }
            if (byte == kEndOfQueue) return finish(out, p);
            output = false;
            if (byte >= 0x21 && byte <= 0x7E) {
                leading = static_cast<std::uint8_t>(byte);
                state = State::TrailByte;
            } else {
                p = Utf8Writer::put_replacement(p);
            }
            continue;
        case State::TrailByte:
            if (byte == 0x1B) {
                state = State::EscapeStart;
                p = Utf8Writer::put_replacement(p);
                continue;
            }
            state = State::LeadByte;
            if (byte >= 0x21 && byte <= 0x7E) {
                char32_t cp = index::jis0208(std::size_t(leading - 0x21) * 94 + std::size_t(byte - 0x21));
                if (cp != 0) {
                    p = Utf8Writer::put(p, cp);
                    continue;
                }
            }
            p = Utf8Writer::put_replacement(p);  // a bad trail byte, or the end of input
            continue;
        case State::EscapeStart:
            if (byte == 0x24 || byte == 0x28) {  // '$' or '('
                leading = static_cast<std::uint8_t>(byte);
                state = State::Escape;
                continue;
            }
            if (byte != kEndOfQueue) --i;
            output = false;
            state = output_state;
            p = Utf8Writer::put_replacement(p);
            continue;
        case State::Escape: {
            const std::uint8_t lead = leading;
            leading = 0;
            bool found = true;
            State next = State::Ascii;
            if (lead == 0x28 && byte == 0x42) {  // ESC ( B
                next = State::Ascii;
            } else if (lead == 0x28 && byte == 0x4A) {  // ESC ( J
                next = State::Roman;
            } else if (lead == 0x28 && byte == 0x49) {  // ESC ( I
                next = State::Katakana;
            } else if (lead == 0x24 && (byte == 0x40 || byte == 0x42)) {  // ESC $ @, ESC $ B
                next = State::LeadByte;
            } else {
                found = false;
            }
            if (found) {
                state = output_state = next;
                const bool switched_before = output;
                output = true;
                if (switched_before) p = Utf8Writer::put_replacement(p);
                continue;
            }
            i -= byte == kEndOfQueue ? 1 : 2;  // lead, and byte unless the input ended
            output = false;
            state = output_state;
            p = Utf8Writer::put_replacement(p);
            continue;
        }
        }
    }
}

}  // namespace qiv::text
