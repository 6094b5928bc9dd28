// The replacement decoder: one U+FFFD for any non-empty input, so that nothing of it gets through.
#pragma once

#include <string>
#include <string_view>

namespace qiv::text {

struct ReplacementDecoder {
    static std::string decode(std::string_view input) {
        return input.empty() ? std::string() : std::string("\xEF\xBF\xBD");
    }
};

}  // namespace qiv::text
