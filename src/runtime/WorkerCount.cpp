#include "runtime/WorkerCount.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "text/Utf8Decoder.h"
#include "support/Panic.h"

namespace qiv::runtime {

namespace {


constexpr const char* kVariable = "TOKIO_WORKER_THREADS";

// The quoted debug form of a byte string that is not valid UTF-8: escapes as the standard
// debug rendering of text does, and each byte outside a valid sequence as \xHH.
std::string debug_bytes(std::string_view s) {
    std::string out = "\"";
    char hex[8];
    for (std::size_t i = 0; i < s.size();) {
        // The lead and its in-range trails; a well-formed sequence when they are all there.
        std::size_t n = text::Utf8Decoder::error_length(reinterpret_cast<const std::uint8_t*>(s.data()) + i, s.size() - i);
        if (!text::is_valid_utf8(s.substr(i, n))) n = 0;
        if (n == 0) {
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(s[i]));
            out += hex;
            ++i;
            continue;
        }
        if (n == 1) {
            const char c = s[i];
            switch (c) {
                case '\t': out += "\\t"; break;
                case '\r': out += "\\r"; break;
                case '\n': out += "\\n"; break;
                case '\\': out += "\\\\"; break;
                case '"': out += "\\\""; break;
                case '\0': out += "\\0"; break;
                default:
                    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                        std::snprintf(hex, sizeof hex, "\\u{%x}", static_cast<unsigned char>(c));
                        out += hex;
                    } else {
                        out += c;
                    }
            }
        } else {
            out.append(s.substr(i, n));
        }
        i += n;
    }
    out += '"';
    return out;
}

// Parses as an unsigned machine word does: an optional '+', then decimal digits only.
std::optional<std::string> parse_unsigned(std::string_view text, std::size_t& value) {
    if (text.empty()) return "cannot parse integer from empty string";
    std::string_view digits = text;
    if (digits.front() == '+') {
        digits.remove_prefix(1);
        if (digits.empty()) return "invalid digit found in string";
    }
    std::size_t v = 0;
    bool overflow = false;
    for (char c : digits) {
        if (c < '0' || c > '9') return "invalid digit found in string";
        const auto d = static_cast<std::size_t>(c - '0');
        if (!overflow && v > (std::numeric_limits<std::size_t>::max() - d) / 10) overflow = true;
        if (!overflow) v = v * 10 + d;
    }
    if (overflow) return "number too large to fit in target type";
    value = v;
    return std::nullopt;
}

}  // namespace

WorkerCountChoice worker_count_from(const std::optional<std::string_view>& raw, long processors) {
    WorkerCountChoice choice;
    if (!raw) {
        choice.count = processors > 0 ? static_cast<std::size_t>(processors) : 1;
        return choice;
    }
    const std::string quoted = std::string("\"") + kVariable;
    if (!text::is_valid_utf8(*raw)) {
        choice.refusal = quoted + "\" must be valid unicode, error: " + debug_bytes(*raw);
        return choice;
    }
    std::size_t value = 0;
    if (auto err = parse_unsigned(*raw, value)) {
        choice.refusal = quoted + "\" must be usize, error: " + *err + ", value: " + std::string(*raw);
        return choice;
    }
    if (value == 0) {
        choice.refusal = quoted + "\" cannot be set to 0";
        return choice;
    }
    choice.count = value;
    return choice;
}

std::size_t worker_count_from_env() {
    const char* raw = std::getenv(kVariable);
    std::optional<std::string_view> value;
    if (raw) value = std::string_view(raw);
    const WorkerCountChoice choice = worker_count_from(value, ::sysconf(_SC_NPROCESSORS_CONF));
    if (choice.refusal) qiv::panic(*choice.refusal);
    return choice.count;
}

}  // namespace qiv::runtime
