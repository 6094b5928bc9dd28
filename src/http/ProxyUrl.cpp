#include "http/ProxyUrl.h"

#include <cstdlib>

#include "http/CurlUrl.h"
#include "support/trim_whitespace.h"

namespace qiv::http {

namespace {

// True when the text begins with "scheme://": only then does it name its own scheme. Without
// it, a bare "host:port" would read as a scheme and a path, with no host.
bool has_authority_scheme(std::string_view s) {
    const auto colon = s.find("://");
    if (colon == std::string_view::npos || colon == 0) return false;
    const auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!alpha(s[0])) return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const char c = s[i];
        if (!(alpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')) return false;
    }
    return true;
}

std::optional<ProxyUrl> from_parsed(const CurlUrl& url) {
    ProxyUrl proxy;
    auto scheme = url.get(CURLUPART_SCHEME);
    auto host = url.get(CURLUPART_HOST);
    if (!scheme || !host || host->empty()) return std::nullopt;
    if (*scheme != "http" && *scheme != "https") return std::nullopt;
    proxy.scheme = *scheme;
    proxy.host = *host;
    auto port = url.get(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    proxy.port = port ? std::strtol(port->c_str(), nullptr, 10) : (*scheme == "https" ? 443 : 80);
    proxy.user = url.get(CURLUPART_USER, CURLU_URLDECODE);
    proxy.password = url.get(CURLUPART_PASSWORD, CURLU_URLDECODE);
    return proxy;
}

}  // namespace

std::optional<ProxyUrl> ProxyUrl::parse(std::string_view value) {
    const std::string_view text = trim_whitespace(value);
    if (text.empty()) return std::nullopt;
    CurlUrl url;
    const std::string full = has_authority_scheme(text) ? std::string(text) : "http://" + std::string(text);
    if (!url.set(full)) return std::nullopt;
    auto proxy = from_parsed(url);
    // The host comes back percent-decoded, and the address is parsed again on its way out: a
    // host that would read differently then (a '%' in it, or digits that now spell an IPv4
    // number) would send the call to another proxy, so it is not usable.
    CurlUrl again;
    if (!proxy || !again.set(proxy->address()) || again.get(CURLUPART_HOST) != proxy->host) return std::nullopt;
    return proxy;
}

std::string ProxyUrl::address() const { return scheme + "://" + host + ":" + std::to_string(port); }

}  // namespace qiv::http
