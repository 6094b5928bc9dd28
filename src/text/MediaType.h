// A media type ("text/html; charset=utf-8") parsed the way the MIME Sniffing Standard parses one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qiv::text {

struct MediaType {
    std::string type;     // ASCII lowercase
    std::string subtype;  // ASCII lowercase
    // The value of the first well-formed "charset" parameter, quotes and escapes removed. The
    // other parameters are checked the same way and dropped: nothing here needs them.
    std::optional<std::string> charset;

    // nullopt when the input is not a media type.
    static std::optional<MediaType> parse(std::string_view input);
};

}  // namespace qiv::text
