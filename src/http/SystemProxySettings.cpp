#include "http/SystemProxySettings.h"

namespace qiv::http {

namespace {

std::optional<ProxyUrl> entry(const SystemProxySettings::Dictionary& settings, const char* enable_key,
                              const char* proxy_key, const char* port_key) {
    const auto enable = settings.find(enable_key);
    const auto proxy = settings.find(proxy_key);
    if (enable == settings.end() || proxy == settings.end()) return std::nullopt;
    const auto* on = std::get_if<long long>(&enable->second);
    const auto* host = std::get_if<std::string>(&proxy->second);
    if (!on || *on != 1 || !host) return std::nullopt;
    std::string url = "http://";
    url += *host;
    const auto port = settings.find(port_key);
    if (port != settings.end()) {
        if (const auto* number = std::get_if<long long>(&port->second)) {
            url += ':';
            url += std::to_string(*number);
        }
    }
    return ProxyUrl::parse(url);
}

}  // namespace

std::optional<SystemProxySettings::Dictionary> SystemProxySettings::read() { return std::nullopt; }

SystemProxySettings::Entries SystemProxySettings::entries(const Dictionary& settings) {
    Entries out;
    out.http = entry(settings, kHttpEnable, kHttpProxy, kHttpPort);
    out.https = entry(settings, kHttpsEnable, kHttpsProxy, kHttpsPort);
    return out;
}

}  // namespace qiv::http
