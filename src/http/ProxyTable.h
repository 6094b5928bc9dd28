// The proxies of the process: at most one for http and one for https, chosen once from the
// environment or, failing that, from the platform's settings.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "http/ProxyUrl.h"
#include "http/SystemProxySettings.h"

namespace qiv::http {

class ProxyTable {
public:
    // Reads one environment variable: its bytes, or nullopt when unset.
    using Environment = std::function<std::optional<std::string>(const char* name)>;

    std::optional<ProxyUrl> http;
    std::optional<ProxyUrl> https;

    // Precedence: REQUEST_METHOD set hides HTTP_PROXY/http_proxy; the upper-case name before
    // the lower-case one; ALL_PROXY, else all_proxy, replaces both entries; the platform's
    // settings only when no variable gave a usable value for either scheme.
    static ProxyTable build(const Environment& env,
                            const std::optional<SystemProxySettings::Dictionary>& system);

    // The table of this process, built at the first use from the real environment.
    static const ProxyTable& process();

    // The entry for a request's scheme.
    const std::optional<ProxyUrl>& for_scheme(std::string_view scheme) const;
};

}  // namespace qiv::http
