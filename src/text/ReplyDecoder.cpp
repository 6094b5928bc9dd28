#include "text/ReplyDecoder.h"

#include <algorithm>

#include "text/Decode.h"
#include "text/EncodingLabel.h"
#include "text/MediaType.h"

namespace qiv::text {

namespace {

// Visible ASCII, spaces and tabs: any other byte makes the header unusable as a label source.
bool is_header_text(std::string_view value) {
    return std::all_of(value.begin(), value.end(), [](char c) { return c == '\t' || (c >= 0x20 && c <= 0x7E); });
}

// The encoding the content-type names by its charset parameter; UTF-8 in every other case.
Encoding reply_encoding(const std::optional<std::string_view>& content_type) {
    if (!content_type || !is_header_text(*content_type)) return Encoding::Utf8;
    std::optional<MediaType> media_type = MediaType::parse(*content_type);
    if (!media_type || !media_type->charset) return Encoding::Utf8;
    return encoding_for_label(*media_type->charset).value_or(Encoding::Utf8);
}

}  // namespace

std::string decode_reply(const std::optional<std::string_view>& content_type, std::string_view body) {
    return decode(body, reply_encoding(content_type));
}

}  // namespace qiv::text
