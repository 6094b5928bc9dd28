// The bytes of header and trailer fields (RFC 9110 §5.6): what the head reader and the chunked
// body reader both check.
#pragma once

#include <string_view>

namespace qiv::http {

// Blanks between the parts of a field or of a chunk extension.
constexpr bool is_ows(char c) noexcept { return c == ' ' || c == '\t'; }

// A byte of a token: field names, chunk extension names and values.
constexpr bool is_tchar(char c) noexcept {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// A byte of a field value or reason phrase: visible ASCII, obs-text, spaces and tabs; no CR,
// LF, NUL or other control byte.
constexpr bool is_field_byte(char ch) noexcept {
    const auto c = static_cast<unsigned char>(ch);
    return c == '\t' || (c >= 0x20 && c != 0x7f);
}

}  // namespace qiv::http
