#include "text/IndexCodePoint.h"

#include <algorithm>

namespace qiv::text::index {

char32_t gb18030_ranges(std::uint32_t pointer) {
    // Four-byte sequences past the BMP ranges and before the supplementary planes map nothing.
    if ((pointer > 39419 && pointer < 189000) || pointer > 1237575) return 0;
    // The 2005 revision moved this one code point out of its range.
    if (pointer == 7457) return 0xE7C7;
    const auto* begin = generated::kGb18030Ranges;
    const auto* end = begin + generated::kGb18030RangeCount;
    // The first range starts at pointer 0, so a range at or below any pointer exists.
    const auto* range = std::upper_bound(begin, end, pointer, [](std::uint32_t p, const generated::Gb18030Range& r) {
                            return p < r.pointer;
                        }) - 1;
    return range->code_point + (pointer - range->pointer);
}

}  // namespace qiv::text::index
