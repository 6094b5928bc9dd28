#include "text/XUserDefinedDecoder.h"

#include <cstdint>

#include "text/SingleByteDecoder.h"

namespace qiv::text {

namespace {

// The mapping is arithmetic, so its table is computed rather than generated.
struct Table {
    std::uint16_t index[128];
};

constexpr Table make_table() {
    Table t{};
    for (unsigned b = 0; b < 128; ++b) t.index[b] = static_cast<std::uint16_t>(0xF780 + b);
    return t;
}

constexpr Table kTable = make_table();

}  // namespace

std::string XUserDefinedDecoder::decode(std::string_view input) {
    return SingleByteDecoder::decode(input, kTable.index);
}

}  // namespace qiv::text
