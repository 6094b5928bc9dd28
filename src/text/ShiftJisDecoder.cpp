#include "text/ShiftJisDecoder.h"

#include <cstdint>

#include "text/IndexCodePoint.h"
#include "text/LeadTrailDecoder.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

namespace {

struct ShiftJis {
    static bool is_lead(std::uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

    static char* put_pair(char* p, std::uint8_t lead, std::uint8_t byte) {
        // Both offsets ahead of the range check: the compiler then picks them without a branch,
        // which matters as ordinary text switches between leads below and above 0xA0.
        const unsigned offset = byte < 0x7F ? 0x40 : 0x41;
        const unsigned leading_offset = lead < 0xA0 ? 0x81 : 0xC1;
        if ((byte < 0x40 || byte > 0x7E) && (byte < 0x80 || byte > 0xFC)) return nullptr;
        // Leads 81..9F and E0..FC give rows 0..59, so pointers stay below 60 * 188.
        const std::size_t pointer = std::size_t(lead - leading_offset) * 188 + (byte - offset);
        if (pointer >= 8836 && pointer <= 10715) {
            return Utf8Writer::put(p, static_cast<char32_t>(0xE000 - 8836 + pointer));  // user-defined area
        }
        return put_index_code_point(p, index::jis0208(pointer));
    }

    static char* put_single(char* p, std::uint8_t byte) {
        if (byte == 0x80) return Utf8Writer::put(p, 0x80);
        if (byte >= 0xA1 && byte <= 0xDF) return Utf8Writer::put(p, 0xFF61 - 0xA1 + byte);  // halfwidth katakana
        return nullptr;
    }
};

}  // namespace

std::string ShiftJisDecoder::decode(std::string_view input) { return decode_lead_trail(input, ShiftJis{}); }

}  // namespace qiv::text
