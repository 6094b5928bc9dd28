#include "text/MediaType.h"

#include <algorithm>
#include <array>

namespace qiv::text {

namespace {

bool is_http_whitespace(char c) { return c == '\n' || c == '\r' || c == '\t' || c == ' '; }

// HTTP token code points: ASCII alphanumerics and !#$%&'*+-.^_`|~, as a table by byte.
constexpr std::array<bool, 256> make_token_table() {
    std::array<bool, 256> table{};
    for (unsigned c = '0'; c <= '9'; ++c) table[c] = true;
    for (unsigned c = 'a'; c <= 'z'; ++c) table[c] = table[c - 'a' + 'A'] = true;
    for (char c : std::string_view("!#$%&'*+-.^_`|~")) table[static_cast<unsigned char>(c)] = true;
    return table;
}

constexpr std::array<bool, 256> kTokenChars = make_token_table();

bool is_token_char(char c) { return kTokenChars[static_cast<unsigned char>(c)]; }

bool is_token(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), is_token_char); }

// Tab, space to '~', and 80..FF.
bool is_quoted_string_text(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        auto b = static_cast<unsigned char>(c);
        return b == '\t' || (b >= 0x20 && b != 0x7F);
    });
}

std::string_view trim_end(std::string_view s) {
    while (!s.empty() && is_http_whitespace(s.back())) s.remove_suffix(1);
    return s;
}

std::string lowercase(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    return out;
}

// Index of the first of chars at or after pos, or the end of s.
// A plain loop: the library's search calls out to memchr once per byte of s.
std::size_t find_any(std::string_view s, std::string_view chars, std::size_t pos) {
    for (; pos < s.size(); ++pos) {
        for (char c : chars) {
            if (s[pos] == c) return pos;
        }
    }
    return pos;
}

// An HTTP quoted string starting at the '"' at pos, its value extracted; pos ends past it.
std::string collect_quoted_string(std::string_view s, std::size_t& pos) {
    std::string value;
    ++pos;
    for (;;) {
        std::size_t stop = find_any(s, "\"\\", pos);
        value.append(s.substr(pos, stop - pos));
        pos = stop;
        if (pos >= s.size()) break;
        char quote_or_backslash = s[pos++];
        if (quote_or_backslash != '\\') break;
        if (pos >= s.size()) {
            value += '\\';  // a lone backslash at the end stands for itself
            break;
        }
        value += s[pos++];
    }
    return value;
}

}  // namespace

std::optional<MediaType> MediaType::parse(std::string_view input) {
    while (!input.empty() && is_http_whitespace(input.front())) input.remove_prefix(1);
    input = trim_end(input);

    std::size_t pos = find_any(input, "/", 0);
    std::string_view type = input.substr(0, pos);
    if (!is_token(type) || pos >= input.size()) return std::nullopt;
    ++pos;
    std::size_t end = find_any(input, ";", pos);
    std::string_view subtype = trim_end(input.substr(pos, end - pos));
    if (!is_token(subtype)) return std::nullopt;
    pos = end;

    MediaType result{lowercase(type), lowercase(subtype), std::nullopt};
    while (pos < input.size()) {
        ++pos;  // past the ';'
        while (pos < input.size() && is_http_whitespace(input[pos])) ++pos;
        end = find_any(input, ";=", pos);
        std::string name = lowercase(input.substr(pos, end - pos));
        pos = end;
        if (pos < input.size()) {
            if (input[pos] == ';') continue;  // a parameter without a value
            ++pos;                            // past the '='
        }
        if (pos >= input.size()) break;
        std::string value;
        if (input[pos] == '"') {
            value = collect_quoted_string(input, pos);
            pos = find_any(input, ";", pos);  // whatever follows the closing quote is dropped
        } else {
            end = find_any(input, ";", pos);
            value = std::string(trim_end(input.substr(pos, end - pos)));
            pos = end;
            if (value.empty()) continue;
        }
        // The first well-formed occurrence of a parameter wins.
        if (name == "charset" && !result.charset && is_token(name) && is_quoted_string_text(value)) {
            result.charset = std::move(value);
        }
    }
    return result;
}

}  // namespace qiv::text
