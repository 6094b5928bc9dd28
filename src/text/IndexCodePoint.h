// The standard's "index code point": the code point an index maps a pointer to, 0 for null.
// Pointers are computed from byte pairs and can run past an index's end, so every lookup is bounded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/generated/MultiByteIndexes.h"

namespace qiv::text::index {

inline char32_t jis0208(std::size_t pointer) {
    return pointer < generated::kJis0208Size ? generated::kJis0208[pointer] : 0;
}

inline char32_t jis0212(std::size_t pointer) {
    return pointer < generated::kJis0212Size ? generated::kJis0212[pointer] : 0;
}

inline char32_t euc_kr(std::size_t pointer) {
    return pointer < generated::kEucKrSize ? generated::kEucKr[pointer] : 0;
}

inline char32_t gb18030(std::size_t pointer) {
    return pointer < generated::kGb18030Size ? generated::kGb18030[pointer] : 0;
}

inline char32_t big5(std::size_t pointer) {
    std::size_t at = pointer - generated::kBig5First;  // wraps to a huge value below the first pointer
    if (at >= generated::kBig5Size) return 0;
    char32_t low = generated::kBig5[at];
    bool astral = (generated::kBig5Astral[at / 8] >> (at % 8)) & 1;
    return astral ? 0x20000 + low : low;
}

// The "index gb18030 ranges code point" algorithm.
char32_t gb18030_ranges(std::uint32_t pointer);

}  // namespace qiv::text::index
