// Proxy values from the environment, read by the URL Standard: a usable proxy is http or https
// with a host and a port, and the address handed to the HTTP library reads back as the same
// proxy. The same bytes also go through the table's precedence rules as every proxy variable at
// once.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "http/ProxyTable.h"
#include "http/ProxyUrl.h"
#include "http/SystemProxySettings.h"
#include "http/Url.h"

namespace {

using qiv::http::ProxyUrl;

void check(bool condition) {
    if (!condition) std::abort();
}

void check_usable(const std::optional<ProxyUrl>& proxy) {
    if (!proxy) return;
    check(proxy->scheme == "http" || proxy->scheme == "https");
    check(!proxy->host.empty());
    check(proxy->port >= 0 && proxy->port <= 65535);
    const std::optional<ProxyUrl> again = ProxyUrl::parse(proxy->address());
    check(again && again->scheme == proxy->scheme && again->host == proxy->host && again->port == proxy->port);
    // The exchange looks up and hands over exactly the host this URL reads back with.
    const std::optional<qiv::http::Url> url = qiv::http::Url::parse(proxy->address());
    check(url && url->host() == proxy->host && url->host_is_ip_literal() == proxy->host_is_ip_literal &&
          url->port() == proxy->port && !url->has_user());
}

constexpr const char* kNames[] = {"REQUEST_METHOD", "HTTP_PROXY", "http_proxy", "HTTPS_PROXY", "https_proxy",
                                  "ALL_PROXY", "all_proxy"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string value = input.ConsumeRandomLengthString(512);
    check_usable(ProxyUrl::parse(value));

    std::map<std::string, std::string> env;
    for (const char* name : kNames) {
        if (input.ConsumeBool()) env[name] = input.ConsumeRandomLengthString(128);
    }
    std::optional<qiv::http::SystemProxySettings::Dictionary> system;
    if (input.ConsumeBool()) {
        using S = qiv::http::SystemProxySettings;
        system.emplace();
        (*system)[S::kHttpEnable] = static_cast<long long>(input.ConsumeIntegralInRange<int>(0, 2));
        (*system)[S::kHttpProxy] = input.ConsumeRandomLengthString(64);
        (*system)[S::kHttpPort] = input.ConsumeIntegral<long long>();
        (*system)[S::kHttpsEnable] = static_cast<long long>(input.ConsumeIntegralInRange<int>(0, 2));
        (*system)[S::kHttpsProxy] = input.ConsumeRandomLengthString(64);
        if (input.ConsumeBool()) (*system)[S::kHttpsPort] = input.ConsumeRemainingBytesAsString();
    }
    const qiv::http::ProxyTable table = qiv::http::ProxyTable::build(
        [&](const char* name) -> std::optional<std::string> {
            auto it = env.find(name);
            if (it == env.end()) return std::nullopt;
            return it->second;
        },
        system);
    check_usable(table.http);
    check_usable(table.https);
    return 0;
}
