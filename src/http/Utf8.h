// UTF-8 validity of raw bytes from the environment and from reply headers.
#pragma once

#include <cstddef>
#include <string_view>

namespace qiv::http {

// Length of the well-formed UTF-8 sequence starting at s[i], or 0 when it is malformed.
std::size_t utf8_sequence_length(std::string_view s, std::size_t i) noexcept;

bool is_utf8(std::string_view s) noexcept;

}  // namespace qiv::http
