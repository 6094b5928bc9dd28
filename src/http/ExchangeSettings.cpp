#include "http/ExchangeSettings.h"

#include "ServerUrl.h"  // written by the build, which checks the base URL

namespace qiv::http {

ExchangeSettings ExchangeSettings::for_server_call() {
    ExchangeSettings settings;
    settings.url = QIV_SERVER_URL;
    settings.ca_bundle = QIV_CA_BUNDLE;
    settings.connect_timeout_s = QIV_CONNECT_TIMEOUT_S;
    settings.stall_timeout_s = QIV_STALL_TIMEOUT_S;
    settings.proxies = ProxyTable::process();
    settings.no_proxy = NoProxy::from_process_environment();
    return settings;
}

}  // namespace qiv::http
