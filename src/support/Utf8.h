// Well-formed UTF-8 as RFC 3629 defines it: no overlongs, no surrogates, nothing above U+10FFFF.
#pragma once

#include <string_view>

namespace qiv {

bool is_valid_utf8(std::string_view bytes) noexcept;

}  // namespace qiv
