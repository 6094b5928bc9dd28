#include "text/EucJpDecoder.h"

#include <cstdint>
#include <utility>

#include "text/IndexCodePoint.h"
#include "text/LeadTrailDecoder.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

namespace {

struct EucJp {
    bool jis0212 = false;  // 0x8F came first: the pair is looked up in index jis0212

    static bool is_lead(std::uint8_t byte) { return byte == 0x8E || byte == 0x8F || (byte >= 0xA1 && byte <= 0xFE); }

    bool take_second_lead(std::uint8_t lead, std::uint8_t byte) {
        if (lead != 0x8F || byte < 0xA1 || byte > 0xFE) return false;
        jis0212 = true;
        return true;
    }

    char* put_pair(char* p, std::uint8_t lead, std::uint8_t byte) {
        if (lead == 0x8E && byte >= 0xA1 && byte <= 0xDF) return Utf8Writer::put(p, 0xFF61 - 0xA1 + byte);  // halfwidth katakana
        const bool from_jis0212 = std::exchange(jis0212, false);
        if (lead < 0xA1 || lead > 0xFE || byte < 0xA1 || byte > 0xFE) return nullptr;
        const std::size_t pointer = std::size_t(lead - 0xA1) * 94 + (byte - 0xA1);
        return put_index_code_point(p, from_jis0212 ? index::jis0212(pointer) : index::jis0208(pointer));
    }

    static char* put_single(char*, std::uint8_t) { return nullptr; }
};

}  // namespace

std::string EucJpDecoder::decode(std::string_view input) { return decode_lead_trail(input, EucJp{}); }

}  // namespace qiv::text
