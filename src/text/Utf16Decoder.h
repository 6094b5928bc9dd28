// The shared UTF-16 decoder, for UTF-16BE and UTF-16LE.
#pragma once

#include <string>
#include <string_view>

namespace qiv::text {

struct Utf16Decoder {
    static std::string decode(std::string_view input, bool big_endian);
};

}  // namespace qiv::text
