// The standard's decode: byte order mark sniffing, then the decoder of the encoding. Never fails.
#pragma once

#include <string>
#include <string_view>

#include "text/generated/Encoding.h"

namespace qiv::text {

// A leading EF BB BF, FF FE or FE FF picks UTF-8, UTF-16LE or UTF-16BE over fallback and is dropped.
std::string decode(std::string_view bytes, Encoding fallback);

// The encoding's decoder alone, with malformed input replaced by U+FFFD.
std::string decode_without_bom(std::string_view bytes, Encoding encoding);

}  // namespace qiv::text
