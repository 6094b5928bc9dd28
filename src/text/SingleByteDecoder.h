// The one decoder of every single-byte encoding, driven by a 128-entry table for bytes 80..FF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qiv::text {

struct SingleByteDecoder {
    // index: code point by byte - 0x80, 0 where the index has none (that byte is an error).
    static std::string decode(std::string_view input, const std::uint16_t (&index)[128]);
};

}  // namespace qiv::text
