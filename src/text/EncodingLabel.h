// The standard's "get an encoding": a label to its encoding, and an encoding's name.
#pragma once

#include <optional>
#include <string_view>

#include "text/generated/Encoding.h"

namespace qiv::text {

// Leading and trailing ASCII white space are ignored, and ASCII letter case; nullopt for a label
// the standard does not list.
std::optional<Encoding> encoding_for_label(std::string_view label);

// The name the standard gives the encoding, e.g. "windows-1252".
std::string_view encoding_name(Encoding encoding);

}  // namespace qiv::text
