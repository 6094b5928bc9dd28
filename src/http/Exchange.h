// One server call's HTTP exchange: a POST, then the redirects, one request per hop, on one
// client whose connections die with it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "http/CurlHandle.h"
#include "http/ExchangeSettings.h"
#include "http/HttpError.h"
#include "http/Reply.h"
#include "support/BoxedError.h"
#include "support/Result.h"

namespace qiv::http {

class Exchange {
public:
    // Looks a host name up; given by the caller so the lookup runs where the caller wants it.
    using HostLookup = std::function<Result<std::vector<std::string>, HttpError>(const std::string& host)>;

    // Makes the client with every fixed setting; fails only when the HTTP library cannot.
    static Result<Exchange, HttpError> make(ExchangeSettings settings);

    // Sends body and follows redirects; the final reply of any status, or the first error.
    Result<Reply, BoxedError> run(std::vector<std::uint8_t> body, const HostLookup& lookup);

private:
    struct Hop {
        std::string url;
        bool post = true;
        std::optional<std::string> referer;
    };

    struct HopReply {
        Reply reply;
        std::optional<std::string> location;  // raw bytes of the first location field
    };

    Exchange(ExchangeSettings settings, CurlHandle curl);
    Result<HopReply, HttpError> perform(const Hop& hop, const std::vector<std::uint8_t>& body,
                                     const HostLookup& lookup);

    ExchangeSettings settings_;
    CurlHandle curl_;
};

}  // namespace qiv::http
