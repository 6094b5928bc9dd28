// The ISO-2022-JP decoder, run over the whole input at once.
#pragma once

#include <string>
#include <string_view>

namespace qiv::text {

struct Iso2022JpDecoder {
    static std::string decode(std::string_view input);
};

}  // namespace qiv::text
