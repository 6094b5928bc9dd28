#include "text/EucKrDecoder.h"

#include <cstdint>

#include "text/IndexCodePoint.h"
#include "text/LeadTrailDecoder.h"

namespace qiv::text {

namespace {

struct EucKr {
    static bool is_lead(std::uint8_t byte) { return byte >= 0x81 && byte <= 0xFE; }

    static char* put_pair(char* p, std::uint8_t lead, std::uint8_t byte) {
        if (byte < 0x41 || byte > 0xFE) return nullptr;
        return put_index_code_point(p, index::euc_kr(std::size_t(lead - 0x81) * 190 + (byte - 0x41)));
    }

    static char* put_single(char*, std::uint8_t) { return nullptr; }
};

}  // namespace

std::string EucKrDecoder::decode(std::string_view input) { return decode_lead_trail(input, EucKr{}); }

}  // namespace qiv::text
