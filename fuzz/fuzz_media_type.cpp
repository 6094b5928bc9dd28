// The content-type parser and the charset label lookup it feeds.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "text/EncodingLabel.h"
#include "text/MediaType.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool is_lower_token(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c >= 'A' && c <= 'Z') return false;
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) return false;
        if (std::string_view("\"(),/:;<=>?@[\\]{}").find(c) != std::string_view::npos) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const std::optional<qiv::text::MediaType> media_type = qiv::text::MediaType::parse(input);
    if (media_type) {
        check(is_lower_token(media_type->type) && is_lower_token(media_type->subtype));
        if (media_type->charset) {
            if (auto encoding = qiv::text::encoding_for_label(*media_type->charset)) {
                check(!qiv::text::encoding_name(*encoding).empty());
            }
        }
    }

    // A label maps to the same encoding whatever its letter case, and so does the encoding's name.
    const std::optional<qiv::text::Encoding> encoding = qiv::text::encoding_for_label(input);
    std::string upper(input);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    check(qiv::text::encoding_for_label(upper) == encoding);
    if (encoding) check(qiv::text::encoding_for_label(qiv::text::encoding_name(*encoding)) == encoding);
    return 0;
}
