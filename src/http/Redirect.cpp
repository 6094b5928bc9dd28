#include "http/Redirect.h"

#include "http/CurlUrl.h"
#include "text/Utf8Decoder.h"

namespace qiv::http {

bool Redirect::is_redirect_status(long status) noexcept {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Redirect Redirect::classify(long status, const std::string& current,
                            const std::optional<std::string>& location) {
    Redirect out;
    if (!is_redirect_status(status) || !location || !text::is_valid_utf8(*location)) return out;
    CurlUrl url;
    if (!url.set(current) || !url.set(*location)) return out;
    auto next = url.get(CURLUPART_URL);
    auto scheme = url.get(CURLUPART_SCHEME);
    if (!next || !scheme) return out;
    out.url = std::move(*next);
    out.kind = (*scheme == "http" || *scheme == "https") ? Kind::Follow : Kind::BadScheme;
    return out;
}

std::optional<std::string> Redirect::referer(const std::string& current, const std::string& next) {
    CurlUrl from;
    CurlUrl to;
    if (!from.set(current) || !to.set(next)) return std::nullopt;
    if (from.get(CURLUPART_SCHEME) == "https" && to.get(CURLUPART_SCHEME) == "http") return std::nullopt;
    if (!from.clear(CURLUPART_USER) || !from.clear(CURLUPART_PASSWORD) || !from.clear(CURLUPART_FRAGMENT)) {
        return std::nullopt;
    }
    return from.get(CURLUPART_URL);
}

}  // namespace qiv::http
