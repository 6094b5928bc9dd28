#include "http/ProxyUrl.h"

#include "http/Url.h"
#include "support/trim_whitespace.h"

namespace qiv::http {

namespace {

// True when the text begins with a scheme and its ':'. Without one the parser, given no base,
// finds a relative URL and fails.
bool starts_with_scheme(std::string_view s) {
    const auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (s.empty() || !alpha(s[0])) return false;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ':') return true;
        if (!(alpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')) return false;
    }
    return false;
}

std::optional<ProxyUrl> from_url(const Url& url) {
    if (!url.is_http() || url.host().empty()) return std::nullopt;
    ProxyUrl proxy;
    proxy.scheme = url.scheme();
    proxy.host = url.host();
    proxy.host_is_ip_literal = url.host_is_ip_literal();
    proxy.port = url.port();
    // The URL has a password only when it is not empty; the user name may be.
    if (url.has_password()) {
        proxy.user = url.user();
        proxy.password = url.password();
    } else if (url.has_user()) {
        proxy.user = url.user();
    }
    return proxy;
}

}  // namespace

std::optional<ProxyUrl> ProxyUrl::parse(std::string_view value) {
    const std::string_view text = trim_whitespace(value);
    if (text.empty()) return std::nullopt;
    if (starts_with_scheme(text)) {
        const std::optional<Url> url = Url::parse(text);
        if (!url) return std::nullopt;
        if (!url->host().empty()) return from_url(*url);
    }
    std::string again = "http://";
    again += text;
    const std::optional<Url> url = Url::parse(again);
    return url ? from_url(*url) : std::nullopt;
}

std::string ProxyUrl::address() const { return scheme + "://" + host + ":" + std::to_string(port); }

}  // namespace qiv::http
