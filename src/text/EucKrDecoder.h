// The EUC-KR decoder, run over the whole input at once.
#pragma once

#include <string>
#include <string_view>

namespace qiv::text {

struct EucKrDecoder {
    static std::string decode(std::string_view input);
};

}  // namespace qiv::text
