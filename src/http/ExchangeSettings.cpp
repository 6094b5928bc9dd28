#include "http/ExchangeSettings.h"

namespace qiv::http {

ExchangeSettings ExchangeSettings::for_server_call() {
    ExchangeSettings settings;
    std::string base = QIV_API_BASE_URL;
    while (!base.empty() && base.back() == '/') base.pop_back();
    settings.url = base + kServerPath;
    settings.ca_bundle = QIV_CA_BUNDLE;
    settings.connect_timeout_s = QIV_CONNECT_TIMEOUT_S;
    settings.stall_timeout_s = QIV_STALL_TIMEOUT_S;
    settings.proxies = ProxyTable::process();
    settings.no_proxy = NoProxy::from_process_environment();
    return settings;
}

}  // namespace qiv::http
