// One server call's HTTP exchange: a POST, then the redirects, one hop per request, each on a
// connection of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "http/CurlHandle.h"
#include "http/ExchangeSettings.h"
#include "http/Hop.h"
#include "http/HttpError.h"
#include "http/Reply.h"
#include "http/Url.h"
#include "support/BoxedError.h"
#include "support/Result.h"

namespace qiv::http {

class Exchange {
public:
    // Makes the client with every fixed setting; fails only when the HTTP library cannot, or
    // when the server URL is not an https URL.
    static Result<Exchange, HttpError> make(ExchangeSettings settings);

    // Sends body and follows redirects; the final reply of any status, or the first error.
    Result<Reply, BoxedError> run(std::vector<std::uint8_t> body, const Hop::HostLookup& lookup);

private:
    Exchange(ExchangeSettings settings, Url server, CurlHandle curl)
        : settings_(std::move(settings)), server_(std::move(server)), curl_(std::move(curl)) {}

    const std::optional<ProxyUrl>& proxy_for(const Url& url) const;

    ExchangeSettings settings_;
    Url server_;
    // One handle for every hop, though no hop shares a connection: what it carries from hop to
    // hop is its TLS session cache (a later hop to the same host resumes its session) and its
    // name cache, which holds the addresses each hop hands over.
    CurlHandle curl_;
};

}  // namespace qiv::http
