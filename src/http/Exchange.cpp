#include "http/Exchange.h"

#include <openssl/ssl.h>

#include "http/CurlGlobal.h"
#include "http/Redirect.h"
#include "http/TrustStore.h"

namespace qiv::http {

namespace {

// Every TLS context of the call, the origin's and an https proxy's: the shared trust anchors,
// and no key log, which the library would otherwise write to the file SSLKEYLOGFILE names.
CURLcode prepare_tls(CURL* curl, void* ssl_ctx, void* trust_store) noexcept {
    SSL_CTX_set_keylog_callback(static_cast<SSL_CTX*>(ssl_ctx), nullptr);
    return TrustStore::attach(curl, ssl_ctx, trust_store);
}

}  // namespace

Result<Exchange, HttpError> Exchange::make(ExchangeSettings settings) {
    if (!curl_global_ready()) return HttpError(HttpErrorCode::Setup, "HTTP library setup failed");
    std::optional<Url> server = Url::parse(settings.url);
    if (!server || server->scheme() != "https" || server->host().empty()) {
        return HttpError(HttpErrorCode::Url, "the server URL is not an https URL: " + settings.url);
    }
    CurlHandle curl;
    if (!curl.handle()) return HttpError(HttpErrorCode::Setup, "could not make a transfer handle");
    const bool ok =
        curl.set(CURLOPT_NOSIGNAL, 1L) && curl.set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)) &&
        curl.set(CURLOPT_SSL_ENABLE_ALPN, 0L) &&
        curl.set(CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2)) &&
        curl.set(CURLOPT_PROXY_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2)) &&
        curl.set(CURLOPT_SSL_VERIFYPEER, 1L) && curl.set(CURLOPT_SSL_VERIFYHOST, 2L) &&
        curl.set(CURLOPT_PROXY_SSL_VERIFYPEER, 1L) && curl.set(CURLOPT_PROXY_SSL_VERIFYHOST, 2L) &&
        curl.set(CURLOPT_PROTOCOLS_STR, "http,https") &&
        curl.set(CURLOPT_FOLLOWLOCATION, 0L) &&  // followed here, one hop per request
        // Each hop on a connection of its own, closed when its reply ends: bytes that a server
        // writes after a whole reply are never read as the next request's reply.
        curl.set(CURLOPT_FRESH_CONNECT, 1L) && curl.set(CURLOPT_FORBID_REUSE, 1L) &&
        // Chunked bodies come with their framing, which each hop reads strictly: the library's
        // own reader skips bytes it does not expect. It still reads the framing, to find the end.
        curl.set(CURLOPT_HTTP_TRANSFER_DECODING, 0L) &&
        curl.set(CURLOPT_HAPPY_EYEBALLS_TIMEOUT_MS, 300L) &&
        curl.set(CURLOPT_CONNECTTIMEOUT, settings.connect_timeout_s) &&
        // Server fields never go to the proxy; each hop gives the proxy's own.
        curl.set(CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE)) &&
        // The anchors come from the process's shared store (the bundle instead of the system's,
        // not beside them), so the library reads no file or folder of its own per connection.
        curl.set(CURLOPT_CAINFO, static_cast<const char*>(nullptr)) &&
        curl.set(CURLOPT_PROXY_CAINFO, static_cast<const char*>(nullptr)) &&
        curl.set(CURLOPT_CAPATH, static_cast<const char*>(nullptr)) &&
        curl.set(CURLOPT_PROXY_CAPATH, static_cast<const char*>(nullptr)) &&
        curl.set(CURLOPT_SSL_CTX_FUNCTION, &prepare_tls) &&
        curl.set(CURLOPT_SSL_CTX_DATA, static_cast<void*>(&TrustStore::of(settings.ca_bundle))) &&
        Hop::install_callbacks(curl);
    if (!ok) return HttpError(HttpErrorCode::Setup, "the HTTP library refused a setting");
    return Exchange(std::move(settings), std::move(*server), std::move(curl));
}

const std::optional<ProxyUrl>& Exchange::proxy_for(const Url& url) const {
    static const std::optional<ProxyUrl> direct;
    return settings_.no_proxy.excludes(url.host()) ? direct : settings_.proxies.for_scheme(url.scheme());
}

Result<Reply, BoxedError> Exchange::run(std::vector<std::uint8_t> body, const Hop::HostLookup& lookup) {
    Hop::Request request{server_, true, std::nullopt};
    for (int urls = 1;; ++urls) {
        auto answer =
            Hop::perform(curl_, request, body, proxy_for(request.url), settings_.stall_timeout_s, lookup);
        if (!answer) return boxed(std::move(answer).error());
        const long status = answer.value().reply.status;
        Redirect next = Redirect::classify(status, request.url, answer.value().location);
        if (next.kind == Redirect::Kind::None) return std::move(answer.value().reply);
        if (urls >= Redirect::kMaxUrls) return boxed(HttpError(HttpErrorCode::TooManyRedirects, "too many redirects"));
        if (next.kind == Redirect::Kind::BadScheme) {
            return boxed(HttpError(HttpErrorCode::Url, "redirect to a scheme other than http or https"));
        }
        request.referer = Redirect::referer(request.url, *next.url);
        request.post = request.post && Redirect::keeps_method(status);
        request.url = std::move(*next.url);
    }
}

}  // namespace qiv::http
