// The final reply of an exchange: what reply decoding needs.
#pragma once

#include <optional>
#include <string>

namespace qiv::http {

struct Reply {
    long status = 0;
    std::optional<std::string> content_type;  // first content-type field, trimmed
    std::string body;
};

}  // namespace qiv::http
