#include "http/ProxyTable.h"

#include <cstdlib>

#include "text/Utf8Decoder.h"

namespace qiv::http {

namespace {

// A variable that is unset or not valid text gives no value.
std::optional<ProxyUrl> usable(const ProxyTable::Environment& env, const char* name) {
    const auto value = env(name);
    if (!value || !text::is_valid_utf8(*value)) return std::nullopt;
    return ProxyUrl::parse(*value);
}

std::optional<ProxyUrl> first_usable(const ProxyTable::Environment& env, const char* upper,
                                     const char* lower) {
    if (auto proxy = usable(env, upper)) return proxy;
    return usable(env, lower);
}

}  // namespace

ProxyTable ProxyTable::build(const Environment& env,
                             const std::optional<SystemProxySettings::Dictionary>& system) {
    ProxyTable table;
    // Under CGI, HTTP_PROXY can be set by a client's "Proxy:" request header.
    if (!env("REQUEST_METHOD")) table.http = first_usable(env, "HTTP_PROXY", "http_proxy");
    table.https = first_usable(env, "HTTPS_PROXY", "https_proxy");
    if (auto all = first_usable(env, "ALL_PROXY", "all_proxy")) {
        table.http = all;
        table.https = all;
    }
    if (!table.http && !table.https && system) {
        SystemProxySettings::Entries entries = SystemProxySettings::entries(*system);
        table.http = std::move(entries.http);
        table.https = std::move(entries.https);
    }
    return table;
}

const ProxyTable& ProxyTable::process() {
    // Built once, on the first caller's thread; later changes of the environment do not reach it.
    static const ProxyTable table = build(
        [](const char* name) -> std::optional<std::string> {
            const char* value = std::getenv(name);
            if (!value) return std::nullopt;
            return std::string(value);
        },
        SystemProxySettings::read());
    return table;
}

const std::optional<ProxyUrl>& ProxyTable::for_scheme(std::string_view scheme) const {
    return scheme == "https" ? https : http;
}

}  // namespace qiv::http
