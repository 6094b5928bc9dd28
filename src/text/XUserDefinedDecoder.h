// The x-user-defined decoder: bytes 80..FF map to U+F780..U+F7FF.
#pragma once

#include <string>
#include <string_view>

namespace qiv::text {

struct XUserDefinedDecoder {
    static std::string decode(std::string_view input);
};

}  // namespace qiv::text
