// White space (space, tab, line breaks, form feed, vertical tab) cut from both ends.
#pragma once

#include <string_view>

namespace qiv {

inline std::string_view trim_whitespace(std::string_view s) {
    const auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
    while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace qiv
