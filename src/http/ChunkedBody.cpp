#include "http/ChunkedBody.h"

#include <algorithm>
#include <limits>

#include "http/FieldSyntax.h"

namespace qiv::http {

namespace {

int hex_value(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_line_end(char c) noexcept { return c == '\r' || c == '\n'; }

// qdtext: any field byte but the quote and the backslash.
bool is_qdtext(char c) noexcept { return is_field_byte(c) && c != '"' && c != '\\'; }

}  // namespace

bool ChunkedBody::fail(const char* why) noexcept {
    state_ = State::Failed;
    error_ = why;
    return false;
}

bool ChunkedBody::line_end(char c, State next) {
    if (c == '\n') {
        state_ = next;
    } else {
        after_lf_ = next;
        state_ = State::LineLf;
    }
    return true;
}

bool ChunkedBody::item_end(char c, const char* why) {
    if (c == ';') {
        state_ = State::ExtNameFirst;
        return true;
    }
    if (is_line_end(c)) return line_end(c, after_size_line());
    return fail(why);
}

bool ChunkedBody::step(char c) {
    constexpr const char* kExt = "malformed chunk extension";
    switch (state_) {
        case State::SizeFirst:
            if (hex_value(c) < 0) return fail("malformed chunk size");
            size_ = static_cast<std::uint64_t>(hex_value(c));
            state_ = State::Size;
            return true;
        case State::Size:
            if (hex_value(c) >= 0) {
                if (size_ > std::numeric_limits<std::uint64_t>::max() >> 4) return fail("chunk size too large");
                size_ = size_ << 4 | static_cast<std::uint64_t>(hex_value(c));
                return true;
            }
            if (is_ows(c)) {
                state_ = State::ExtSemicolon;
                return true;
            }
            return item_end(c, "malformed chunk size");
        case State::ExtSemicolon:
            if (is_ows(c)) return true;
            if (c != ';') return fail(kExt);
            state_ = State::ExtNameFirst;
            return true;
        case State::ExtNameFirst:
            if (is_ows(c)) return true;
            if (!is_tchar(c)) return fail(kExt);
            state_ = State::ExtName;
            return true;
        case State::ExtName:
        case State::ExtAfterName:
            if (c == '=') {
                state_ = State::ExtValueFirst;
                return true;
            }
            if (is_ows(c)) {
                state_ = State::ExtAfterName;
                return true;
            }
            if (state_ == State::ExtName && is_tchar(c)) return true;
            // Blanks may stand before "=" or ";", never before the line end.
            if (state_ == State::ExtAfterName && c != ';') return fail(kExt);
            return item_end(c, kExt);
        case State::ExtValueFirst:
            if (is_ows(c)) return true;
            if (c == '"') {
                state_ = State::ExtQuoted;
                return true;
            }
            if (!is_tchar(c)) return fail(kExt);
            state_ = State::ExtToken;
            return true;
        case State::ExtToken:
        case State::ExtEnd:
            if (state_ == State::ExtToken && is_tchar(c)) return true;
            if (is_ows(c)) {
                state_ = State::ExtSemicolon;
                return true;
            }
            return item_end(c, kExt);
        case State::ExtQuoted:
            if (c == '"') {
                state_ = State::ExtEnd;
            } else if (c == '\\') {
                state_ = State::ExtQuotedPair;
            } else if (!is_qdtext(c)) {
                return fail(kExt);
            }
            return true;
        case State::ExtQuotedPair:
            if (!is_field_byte(c)) return fail(kExt);
            state_ = State::ExtQuoted;
            return true;
        case State::LineLf:
            if (c != '\n') return fail("CR without LF in the chunked framing");
            state_ = after_lf_;
            return true;
        case State::Data:
            return fail("chunk data outside a run");  // never: feed() takes data in runs
        case State::DataEnd:
            if (!is_line_end(c)) return fail("chunk data not followed by a line end");
            return line_end(c, State::SizeFirst);
        case State::TrailerStart:
            if (is_line_end(c)) return line_end(c, State::Done);
            // A folded line continues the trailer field before it.
            if (is_ows(c) && any_trailer_) {
                state_ = State::TrailerValue;
                return true;
            }
            if (!is_tchar(c)) return fail("malformed trailer field");
            any_trailer_ = true;
            state_ = State::TrailerName;
            return true;
        case State::TrailerName:
            if (c == ':') {
                state_ = State::TrailerValue;
                return true;
            }
            if (!is_tchar(c)) return fail("malformed trailer field");
            return true;
        case State::TrailerValue:
            if (is_line_end(c)) return line_end(c, State::TrailerStart);
            if (!is_field_byte(c)) return fail("malformed trailer field");
            return true;
        case State::Done:
            return true;  // never: feed() stops at the end
        case State::Failed:
            return false;
    }
    return fail("chunked body reader in no known state");
}

bool ChunkedBody::feed(std::string_view bytes, std::string& out) {
    if (state_ == State::Failed) return false;
    std::size_t i = 0;
    // A server may write anything after a whole reply (RFC 9112 section 6.3); the same bytes
    // must mean the same however its writes were cut, so all of them are dropped.
    while (i < bytes.size() && state_ != State::Done) {
        if (state_ == State::Data) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(size_, bytes.size() - i));
            out.append(bytes.data() + i, take);
            i += take;
            size_ -= take;
            if (size_ == 0) state_ = State::DataEnd;
            continue;
        }
        if (!step(bytes[i++])) return false;
    }
    return true;
}

}  // namespace qiv::http
