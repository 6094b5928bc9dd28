#include "http/ReplyHead.h"

#include <algorithm>
#include <limits>

#include "http/FieldSyntax.h"

namespace qiv::http {

namespace {

std::string_view trim_ows(std::string_view s) {
    while (!s.empty() && is_ows(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_ows(s.back())) s.remove_suffix(1);
    return s;
}

// The line without its end: CRLF, or a bare LF, which a recipient may take as one.
std::string_view content_of(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool is_field_text(std::string_view s) {
    return std::all_of(s.begin(), s.end(), is_field_byte);
}

bool name_is(std::string_view name, std::string_view wanted) {
    if (name.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != wanted[i]) return false;
    }
    return true;
}

// "HTTP/1.0" or "HTTP/1.1", SP, three digits, then nothing or SP and a reason: the code, else 0.
long parse_status(std::string_view line) {
    if (line.size() < 12 || (line.substr(0, 9) != "HTTP/1.1 " && line.substr(0, 9) != "HTTP/1.0 ")) return 0;
    long code = 0;
    for (std::size_t i = 9; i < 12; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        code = code * 10 + (line[i] - '0');
    }
    if (line.size() > 12 && line[12] != ' ') return 0;
    if (line.size() > 12 && !is_field_text(line.substr(13))) return 0;
    return code;
}

}  // namespace

void ReplyHead::connection_opened() noexcept {
    if (!tunnels_) return;
    in_tunnel_reply_ = true;
    at_head_start_ = true;
    head_bytes_ = 0;
}

void ReplyHead::request_started() noexcept {
    in_tunnel_reply_ = false;
    at_head_start_ = true;
    final_done_ = false;
    head_bytes_ = 0;
    status_ = 0;
    forget_fields();
}

void ReplyHead::forget_fields() noexcept {
    fields_ = 0;
    last_field_ = Kept::None;
    any_field_ = false;
    content_length_.reset();
    chunked_ = false;
    other_coding_ = false;
    location_.reset();
    content_type_.reset();
}

bool ReplyHead::fail(HttpErrorCode code, std::string detail) {
    error_ = HttpError(code, std::move(detail));
    return false;
}

bool ReplyHead::feed_tunnel(std::string_view line) {
    head_bytes_ += line.size();
    if (head_bytes_ > kMaxTunnelHeadBytes) return fail(HttpErrorCode::ProxyTunnel, "proxy reply head too long");
    if (at_head_start_) {
        at_head_start_ = false;
        const bool ok = line.substr(0, 12) == "HTTP/1.1 200" || line.substr(0, 12) == "HTTP/1.0 200";
        if (!ok) {
            if (line.substr(0, 12) == "HTTP/1.1 407") {
                return fail(HttpErrorCode::ProxyTunnel, "proxy authentication required");
            }
            return fail(HttpErrorCode::ProxyTunnel, "unsuccessful tunnel");
        }
        return true;
    }
    if (content_of(line).empty()) {
        in_tunnel_reply_ = false;
        at_head_start_ = true;
        head_bytes_ = 0;
    }
    return true;
}

bool ReplyHead::start_head(std::string_view status_line) {
    forget_fields();  // an interim head's fields are not the final head's
    at_head_start_ = false;
    status_ = parse_status(status_line);
    http10_ = status_line.substr(0, 8) == "HTTP/1.0";
    if (status_ == 0) return fail(HttpErrorCode::ReplyHead, "malformed status line");
    return true;
}

bool ReplyHead::content_length(std::string_view value) {
    // A list of equal values counts as one; anything else that is not digits breaks the framing.
    constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::size_t pos = 0;
    do {
        const std::size_t comma = value.find(',', pos);
        const std::string_view item = trim_ows(value.substr(pos, comma == std::string_view::npos ? comma : comma - pos));
        if (item.empty()) return fail(HttpErrorCode::ReplyHead, "malformed content-length");
        std::uint64_t n = 0;
        for (const char c : item) {
            if (c < '0' || c > '9' || n > (kMax - static_cast<std::uint64_t>(c - '0')) / 10) {
                return fail(HttpErrorCode::ReplyHead, "malformed content-length");
            }
            n = n * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (content_length_ && *content_length_ != n) {
            return fail(HttpErrorCode::ReplyHead, "content-length fields that differ");
        }
        content_length_ = n;
        pos = comma == std::string_view::npos ? value.size() : comma + 1;
    } while (pos < value.size());
    return true;
}

bool ReplyHead::transfer_encoding(std::string_view value) {
    // Codings before a final chunked come back as they are: with transfer decoding off the
    // library undoes none of them, and the body's reader removes only the chunked framing.
    // Chunked must come last, once. An HTTP/1.0 reply cannot be framed this way at all.
    if (http10_) return fail(HttpErrorCode::ReplyHead, "transfer-encoding in an HTTP/1.0 reply");
    std::size_t pos = 0;
    while (pos <= value.size()) {
        const std::size_t comma = std::min(value.find(',', pos), value.size());
        const std::string_view item = trim_ows(value.substr(pos, comma - pos));
        pos = comma + 1;
        if (item.empty()) continue;  // empty list elements do not count
        if (chunked_) return fail(HttpErrorCode::ReplyHead, "a transfer coding after chunked");
        if (name_is(item, "chunked")) {
            chunked_ = true;
        } else if (status_ < 200) {
            return fail(HttpErrorCode::ReplyHead, "a transfer coding in an interim reply");  // it has no body
        } else {
            other_coding_ = true;
        }
    }
    return true;
}

bool ReplyHead::field(std::string_view line) {
    ++fields_;
    any_field_ = true;
    last_field_ = Kept::None;
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return fail(HttpErrorCode::ReplyHead, "malformed header field");
    const std::string_view name = line.substr(0, colon);
    for (const char c : name) {
        if (!is_tchar(c)) return fail(HttpErrorCode::ReplyHead, "malformed header field name");
    }
    const std::string_view raw_value = line.substr(colon + 1);
    if (!is_field_text(raw_value)) return fail(HttpErrorCode::ReplyHead, "malformed header field value");
    const std::string_view value = trim_ows(raw_value);
    const bool length = name_is(name, "content-length");
    if (length || name_is(name, "transfer-encoding")) {
        last_field_ = Kept::Framing;
        return length ? content_length(value) : transfer_encoding(value);
    }
    if (name_is(name, "location") && !location_) {
        location_ = std::string(value);
        last_field_ = Kept::Location;
    } else if (name_is(name, "content-type") && !content_type_) {
        content_type_ = std::string(value);
        last_field_ = Kept::ContentType;
    }
    return true;
}

bool ReplyHead::continuation(std::string_view line) {
    // An obsolete folded line continues the field before it, joined by a space.
    if (!any_field_) return fail(HttpErrorCode::ReplyHead, "folded line without a field");
    if (!is_field_text(line)) return fail(HttpErrorCode::ReplyHead, "malformed header field value");
    std::optional<std::string>* kept = last_field_ == Kept::Location      ? &location_
                                       : last_field_ == Kept::ContentType ? &content_type_
                                                                          : nullptr;
    const std::string_view more = trim_ows(line);
    // The framing fields are read as their first line; a folded rest would go unread.
    if (last_field_ == Kept::Framing && !more.empty()) return fail(HttpErrorCode::ReplyHead, "folded framing field");
    if (kept && !more.empty()) {
        if (!(*kept)->empty()) **kept += ' ';
        **kept += more;
    }
    return true;
}

bool ReplyHead::feed(std::string_view line) {
    if (in_tunnel_reply_) return feed_tunnel(line);
    if (final_done_) return true;
    head_bytes_ = at_head_start_ ? line.size() : head_bytes_ + line.size();
    if (head_bytes_ > kMaxHeadBytes) return fail(HttpErrorCode::ReplyHead, "reply head too long");
    const std::string_view content = content_of(line);
    // A CR anywhere but before the line's LF is a bare CR.
    if (content.find('\r') != std::string_view::npos) return fail(HttpErrorCode::ReplyHead, "bare CR in the reply head");
    if (at_head_start_) return start_head(content);
    if (content.empty()) {
        at_head_start_ = true;  // an interim reply is followed by another head
        final_done_ = status_ >= 200;
        // Without chunked framing the library would undo the codings itself.
        if (final_done_ && other_coding_ && !chunked_) {
            return fail(HttpErrorCode::ReplyHead, "a transfer coding not ended by chunked");
        }
        return true;
    }
    const bool ok = is_ows(content.front()) ? continuation(content) : field(content);
    if (ok && fields_ > kMaxFields) return fail(HttpErrorCode::ReplyHead, "too many header fields");
    return ok;
}

}  // namespace qiv::http
