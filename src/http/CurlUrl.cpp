#include "http/CurlUrl.h"

#include <utility>

namespace qiv::http {

CurlUrl::CurlUrl() : url_(curl_url()) {}

CurlUrl::~CurlUrl() {
    if (url_) curl_url_cleanup(url_);
}

CurlUrl::CurlUrl(CurlUrl&& other) noexcept : url_(std::exchange(other.url_, nullptr)) {}

CurlUrl& CurlUrl::operator=(CurlUrl&& other) noexcept {
    if (this != &other) {
        if (url_) curl_url_cleanup(url_);
        url_ = std::exchange(other.url_, nullptr);
    }
    return *this;
}

bool CurlUrl::set(const std::string& text) {
    if (!url_) return false;
    // Spaces are allowed (and encoded) as a browser's parser does with a location.
    return curl_url_set(url_, CURLUPART_URL, text.c_str(),
                        CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE | CURLU_URLENCODE) == CURLUE_OK;
}

bool CurlUrl::clear(CURLUPart part) {
    return url_ && curl_url_set(url_, part, nullptr, 0) == CURLUE_OK;
}

std::optional<std::string> CurlUrl::get(CURLUPart part, unsigned flags) const {
    if (!url_) return std::nullopt;
    char* out = nullptr;
    if (curl_url_get(url_, part, &out, flags) != CURLUE_OK || !out) return std::nullopt;
    std::string text(out);
    curl_free(out);
    return text;
}

}  // namespace qiv::http
