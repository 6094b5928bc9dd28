#include "http/Redirect.h"

#include "text/Utf8Decoder.h"

namespace qiv::http {

bool Redirect::is_redirect_status(long status) noexcept {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Redirect Redirect::classify(long status, const Url& current, const std::optional<std::string>& location) {
    Redirect out;
    if (!is_redirect_status(status) || !location || !text::is_valid_utf8(*location)) return out;
    out.url = Url::parse(*location, current);
    if (!out.url) return out;
    out.kind = out.url->is_http() ? Kind::Follow : Kind::BadScheme;
    return out;
}

std::optional<std::string> Redirect::referer(const Url& current, const Url& next) {
    if (current.scheme() == "https" && next.scheme() == "http") return std::nullopt;
    return current.bare();
}

}  // namespace qiv::http
