#include "text/EncodingLabel.h"

#include <algorithm>

#include "text/generated/LabelTable.h"

namespace qiv::text {

namespace {

bool is_ascii_whitespace(char c) { return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' '; }

}  // namespace

std::optional<Encoding> encoding_for_label(std::string_view label) {
    while (!label.empty() && is_ascii_whitespace(label.front())) label.remove_prefix(1);
    while (!label.empty() && is_ascii_whitespace(label.back())) label.remove_suffix(1);
    // Lowercased into a buffer as long as the longest label: anything longer is no label.
    if (label.size() > generated::kLongestLabel) return std::nullopt;
    char buffer[generated::kLongestLabel];
    std::transform(label.begin(), label.end(), buffer,
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; });
    const std::string_view key(buffer, label.size());

    const auto* begin = generated::kLabels;
    const auto* end = begin + generated::kLabelCount;
    const auto* it = std::lower_bound(begin, end, key, [](const generated::LabelEntry& e, std::string_view k) {
        return e.label < k;
    });
    if (it == end || it->label != key) return std::nullopt;
    return it->encoding;
}

std::string_view encoding_name(Encoding encoding) {
    return generated::kEncodingNames[static_cast<std::size_t>(encoding)];
}

}  // namespace qiv::text
