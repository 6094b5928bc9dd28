#include "http/ReplyHead.h"

namespace qiv::http {

namespace {

std::string_view trim_ows(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

bool is_blank_line(std::string_view line) { return line == "\r\n" || line == "\n"; }

bool name_is(std::string_view name, std::string_view wanted) {
    if (name.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != wanted[i]) return false;
    }
    return true;
}

// "HTTP/x.y NNN ..." gives NNN; anything else gives 0.
long parse_status(std::string_view line) {
    if (line.size() < 12 || line.substr(0, 5) != "HTTP/") return 0;
    const auto space = line.find(' ');
    if (space == std::string_view::npos || space + 4 > line.size()) return 0;
    long code = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

}  // namespace

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
    if (is_blank_line(line)) {
        in_tunnel_reply_ = false;
        at_head_start_ = true;
        head_bytes_ = 0;
    }
    return true;
}

bool ReplyHead::start_head(std::string_view status_line) {
    head_bytes_ = status_line.size();
    fields_ = 0;
    location_.reset();
    content_type_.reset();
    status_ = parse_status(status_line);
    at_head_start_ = false;
    if (status_ == 0) return fail(HttpErrorCode::ReplyHead, "malformed status line");
    return true;
}

bool ReplyHead::feed(std::string_view line) {
    if (in_tunnel_reply_) return feed_tunnel(line);
    if (final_done_) return true;
    if (at_head_start_) {
        if (!start_head(line)) return false;
    } else {
        head_bytes_ += line.size();
        if (is_blank_line(line)) {
            at_head_start_ = true;  // an interim reply is followed by another head
            final_done_ = status_ >= 200;
        } else if (line.front() != ' ' && line.front() != '\t') {  // not a folded continuation
            ++fields_;
            const auto colon = line.find(':');
            if (colon != std::string_view::npos) {
                const std::string_view name = line.substr(0, colon);
                const std::string_view value = trim_ows(line.substr(colon + 1));
                if (name_is(name, "location") && !location_) location_ = std::string(value);
                if (name_is(name, "content-type") && !content_type_) content_type_ = std::string(value);
            }
        }
    }
    if (head_bytes_ > kMaxHeadBytes) return fail(HttpErrorCode::ReplyHead, "reply head too long");
    if (fields_ > kMaxFields) return fail(HttpErrorCode::ReplyHead, "too many header fields");
    return true;
}

}  // namespace qiv::http
