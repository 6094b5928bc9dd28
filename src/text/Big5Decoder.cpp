#include "text/Big5Decoder.h"

#include <cstdint>

#include "text/IndexCodePoint.h"
#include "text/LeadTrailDecoder.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

namespace {

// Pointers that stand for a letter and a combining mark: the index holds one code point a
// pointer, so these four pairs live here. 0x88 0x62, 0x88 0x64, 0x88 0xA3 and 0x88 0xA5.
// Writes the pair and returns its end, or returns nullptr for any other pointer.
char* put_pair_with_mark(char* p, std::size_t pointer) {
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

struct Big5 {
    static bool is_lead(std::uint8_t byte) { return byte >= 0x81 && byte <= 0xFE; }

    static char* put_pair(char* p, std::uint8_t lead, std::uint8_t byte) {
        if ((byte < 0x40 || byte > 0x7E) && (byte < 0xA1 || byte > 0xFE)) return nullptr;
        const unsigned offset = byte < 0x7F ? 0x40 : 0x62;
        const std::size_t pointer = std::size_t(lead - 0x81) * 157 + (byte - offset);
        if (char* end = put_pair_with_mark(p, pointer)) return end;
        return put_index_code_point(p, index::big5(pointer));
    }

    static char* put_single(char*, std::uint8_t) { return nullptr; }
};

}  // namespace

std::string Big5Decoder::decode(std::string_view input) { return decode_lead_trail(input, Big5{}); }

}  // namespace qiv::text
