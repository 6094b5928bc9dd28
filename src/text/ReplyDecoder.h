// Turns an HTTP reply body into UTF-8 text by its content-type, as the Encoding Standard decodes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qiv::text {

// content_type: the reply's "content-type" header value, or nullopt when it has none.
// Never fails: malformed input becomes U+FFFD.
std::string decode_reply(const std::optional<std::string_view>& content_type, std::string_view body);

}  // namespace qiv::text
