// Well-formed UTF-8 as RFC 3629 defines it: no overlongs, no surrogates, nothing above U+10FFFF.
#pragma once

#include <cstddef>
#include <string_view>

namespace qiv {

bool is_valid_utf8(std::string_view bytes) noexcept;

// Length of the well-formed UTF-8 sequence starting at bytes[i], or 0 when it is malformed.
size_t utf8_sequence_length(std::string_view bytes, size_t i) noexcept;

}  // namespace qiv
