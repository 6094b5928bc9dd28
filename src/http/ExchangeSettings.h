// What one server call's exchange is configured with: fixed at build time, plus the proxy
// table of the process and the exclusions read at the call.
#pragma once

#include <string>

#include "http/NoProxy.h"
#include "http/ProxyTable.h"

namespace qiv::http {

struct ExchangeSettings {
    std::string url;        // the first request's URL: https
    std::string ca_bundle;  // PEM file of trust anchors; empty: the system's
    // Seconds; their defaults are the build's (QIV_CONNECT_TIMEOUT_S, QIV_STALL_TIMEOUT_S).
    long connect_timeout_s = 0;
    long stall_timeout_s = 0;
    ProxyTable proxies;
    NoProxy no_proxy;

    // The build-time settings; reads the environment, so call it on the calling thread.
    static ExchangeSettings for_server_call();
};

}  // namespace qiv::http
