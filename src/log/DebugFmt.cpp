#include "log/DebugFmt.h"

#include <algorithm>
#include <cstdio>

#include "log/generated/escape_ranges.h"
#include "text/Utf8Decoder.h"

namespace qiv {

namespace {

bool needs_escape(uint32_t cp) {
    const auto& table = unicode_data::kEscapeRanges;
    auto it = std::upper_bound(std::begin(table), std::end(table), cp,
                               [](uint32_t c, const unicode_data::CodePointRange& r) { return c < r.first; });
    return it != std::begin(table) && cp <= (it - 1)->last;
}

// The text is well-formed UTF-8 (every text of the system is, and append_quoted_bytes passes
// only well-formed runs), so the decoding needs no checks.
uint32_t next_code_point(std::string_view s, size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    uint32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra && i + static_cast<size_t>(k) < s.size(); ++k) {
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3F);
    }
    i += static_cast<size_t>(extra) + 1;
    return cp;
}

// The characters of a well-formed text, escaped, without the quotes.
void append_escaped(std::string& out, std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        // Printable ASCII other than the quote and the backslash goes out as is, in runs.
        size_t run = i;
        while (run < text.size() && text[run] >= 0x20 && text[run] < 0x7F && text[run] != '"' && text[run] != '\\') ++run;
        out.append(text.substr(i, run - i));
        i = run;
        if (i == text.size()) break;
        size_t start = i;
        uint32_t cp = next_code_point(text, i);
        switch (cp) {
        case 0: out += "\\0"; continue;
        case '\t': out += "\\t"; continue;
        case '\r': out += "\\r"; continue;
        case '\n': out += "\\n"; continue;
        case '\\': out += "\\\\"; continue;
        case '"': out += "\\\""; continue;
        default: break;
        }
        if (needs_escape(cp)) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\u{%x}", cp);
            out += buf;
        } else {
            out.append(text.substr(start, i - start));
        }
    }
}

}  // namespace

void append_quoted(std::string& out, std::string_view text) {
    out += '"';
    append_escaped(out, text);
    out += '"';
}

void append_quoted_bytes(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    out += '"';
    size_t i = 0;
    while (i < n) {
        const size_t run = text::Utf8Decoder::valid_prefix(s + i, n - i, n - i);
        append_escaped(out, bytes.substr(i, run));
        i += run;
        if (i == n) break;
        // The ill-formed sequence as the decoder bounds it: a byte that broke it starts the next run.
        for (const size_t end = i + text::Utf8Decoder::error_length(s + i, n - i); i < end; ++i) {
            out += "\\x";
            out += kHex[s[i] >> 4];
            out += kHex[s[i] & 0xF];
        }
    }
    out += '"';
}

DebugRecord::DebugRecord(std::string& out, std::string_view name) : out_(out) {
    out_ += name;
    out_ += " { ";
}

void DebugRecord::begin_field(std::string_view field) {
    if (!first_) out_ += ", ";
    first_ = false;
    out_ += field;
    out_ += ": ";
}

DebugRecord& DebugRecord::text(std::string_view field, std::string_view value) {
    begin_field(field);
    append_quoted(out_, value);
    return *this;
}

DebugRecord& DebugRecord::integer(std::string_view field, int64_t value) {
    begin_field(field);
    out_ += std::to_string(value);
    return *this;
}

DebugRecord& DebugRecord::flag(std::string_view field, bool value) {
    begin_field(field);
    out_ += value ? "true" : "false";
    return *this;
}

std::string& DebugRecord::raw(std::string_view field) {
    begin_field(field);
    return out_;
}

void DebugRecord::finish() { out_ += " }"; }

}  // namespace qiv
