// The gb18030 decoder (also GBK's decoder), run over the whole input at once.
#pragma once

#include <string>
#include <string_view>

namespace qiv::text {

struct Gb18030Decoder {
    static std::string decode(std::string_view input);
};

}  // namespace qiv::text
