// The error of an HTTP exchange: one code per kind of failure, and the detail text.
#pragma once

#include <curl/curl.h>

#include <string>

#include "support/BoxedError.h"

namespace qiv::http {

enum class HttpErrorCode {
    Setup,            // the client could not be configured
    Url,              // a URL that does not parse or has a scheme other than http/https
    Resolve,          // a host name that does not resolve
    Connect,          // no connection could be made
    ProxyTunnel,      // the proxy refused or broke the tunnel
    Tls,              // handshake, certificate or host-name verification failed
    Timeout,          // connect time limit or stall limit exceeded
    TooManyRedirects,
    ReplyHead,        // malformed, too long or with too many fields
    Send,
    Receive,
    OutOfMemory,
    Internal,
};

class HttpError final : public ErrorValue {
public:
    HttpError(HttpErrorCode code, std::string detail) : code_(code), detail_(std::move(detail)) {}

    // Maps a transfer's result to our code; the detail is the error buffer, else the code's text.
    static HttpError from_curl(CURLcode rc, const char* error_buffer);

    HttpErrorCode code() const noexcept { return code_; }
    std::string display() const override;
    std::string debug() const override;

private:
    HttpErrorCode code_;
    std::string detail_;
};

// Boxes an error for the result of the call.
inline BoxedError boxed(HttpError err) { return std::make_unique<HttpError>(std::move(err)); }

const char* http_error_code_name(HttpErrorCode code) noexcept;

}  // namespace qiv::http
