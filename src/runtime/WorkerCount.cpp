#include "runtime/WorkerCount.h"

#include <unistd.h>

#include <cstdlib>
#include <limits>

#include "log/DebugFmt.h"
#include "support/Panic.h"
#include "text/Utf8Decoder.h"

namespace qiv::runtime {

namespace {

constexpr const char* kVariable = "TOKIO_WORKER_THREADS";

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
        std::string refusal = quoted + "\" must be valid unicode, error: ";
        append_quoted_bytes(refusal, *raw);
        choice.refusal = std::move(refusal);
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
