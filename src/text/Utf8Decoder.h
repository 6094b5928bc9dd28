// UTF-8 decoder: one U+FFFD per maximal subpart of an ill-formed sequence, as the standard's does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qiv::text {

struct Utf8Decoder {
    static std::string decode(std::string_view input);

    // Scans s[0, n) for complete, well-formed sequences until one ends at or past limit (<= n).
    // Returns where the scan stopped: at or past limit when all was well-formed, otherwise the
    // start of the first sequence that is ill-formed or cut off by the end of the input.
    static std::size_t valid_prefix(const std::uint8_t* s, std::size_t n, std::size_t limit);

    // Bytes the standard's decoder consumes for the one error at s (which valid_prefix stopped at):
    // the lead and the trail bytes that were in range, never the byte that broke the sequence.
    static std::size_t error_length(const std::uint8_t* s, std::size_t n);
};

// Whether the bytes are well-formed UTF-8 throughout (no overlongs, surrogates, values past
// U+10FFFF or cut-off sequences): the one check of the project, shared by the codec and HTTP.
bool is_valid_utf8(std::string_view bytes) noexcept;

}  // namespace qiv::text
