#include "http/Exchange.h"

#include <chrono>
#include <new>

#include "http/CurlGlobal.h"
#include "http/CurlUrl.h"
#include "http/IpAddress.h"
#include "http/Redirect.h"
#include "http/ReplyHead.h"
#include "http/TrustStore.h"

namespace qiv::http {

namespace {

using Clock = std::chrono::steady_clock;

// What the callbacks of one request fill in. They never throw into the library.
struct Transfer {
    explicit Transfer(bool tunnelled) : head(tunnelled) {}

    CURL* curl = nullptr;
    ReplyHead head;
    std::string body;
    std::optional<HttpError> error;
    bool tls = true;
    bool connected = false;
    long stall_s = 60;
    curl_off_t last_bytes = 0;
    Clock::time_point last_change = Clock::now();
};

size_t on_header(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    try {
        if (!t->head.feed(std::string_view(data, n))) return 0;
    } catch (const std::bad_alloc&) {
        t->error = HttpError(HttpErrorCode::OutOfMemory, "out of memory reading the reply head");
        return 0;
    }
    return n;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    try {
        t->body.append(data, n);
    } catch (const std::bad_alloc&) {
        t->error = HttpError(HttpErrorCode::OutOfMemory, "out of memory reading the reply body");
        return 0;
    }
    return n;
}

// The stall watch: once connected, no byte sent or received for stall_s seconds aborts.
int on_progress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
    auto* t = static_cast<Transfer*>(user);
    const Clock::time_point now = Clock::now();
    if (!t->connected) {
        curl_off_t done = 0;
        curl_easy_getinfo(t->curl, t->tls ? CURLINFO_APPCONNECT_TIME_T : CURLINFO_CONNECT_TIME_T, &done);
        if (done <= 0) return 0;  // the connect time limit governs until then
        t->connected = true;
        t->last_change = now;
    }
    const curl_off_t bytes = received + sent;
    if (bytes != t->last_bytes) {
        t->last_bytes = bytes;
        t->last_change = now;
        return 0;
    }
    if (now - t->last_change >= std::chrono::seconds(t->stall_s)) {
        t->error = HttpError(HttpErrorCode::Timeout,
                             "no byte sent or received for " + std::to_string(t->stall_s) + " s");
        return 1;
    }
    return 0;
}

// Each option set is checked: one the library refuses means the client cannot be made.
struct OptionSetter {
    CURL* curl;
    bool ok = true;

    template <class V>
    OptionSetter& operator()(CURLoption option, V value) {
        if (ok && curl_easy_setopt(curl, option, value) != CURLE_OK) ok = false;
        return *this;
    }
};

}  // namespace

Exchange::Exchange(ExchangeSettings settings, CurlHandle curl)
    : settings_(std::move(settings)), curl_(std::move(curl)) {}

Result<Exchange, HttpError> Exchange::make(ExchangeSettings settings) {
    if (!curl_global_ready()) return HttpError(HttpErrorCode::Setup, "HTTP library setup failed");
    CurlHandle curl;
    if (!curl.handle()) return HttpError(HttpErrorCode::Setup, "could not make a transfer handle");
    OptionSetter set{curl.handle()};
    set(CURLOPT_NOSIGNAL, 1L)
        (CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1))
        (CURLOPT_SSL_ENABLE_ALPN, 0L)
        (CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2))
        (CURLOPT_PROXY_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2))
        (CURLOPT_SSL_VERIFYPEER, 1L)
        (CURLOPT_SSL_VERIFYHOST, 2L)
        (CURLOPT_PROXY_SSL_VERIFYPEER, 1L)
        (CURLOPT_PROXY_SSL_VERIFYHOST, 2L)
        (CURLOPT_PROTOCOLS_STR, "http,https")
        (CURLOPT_FOLLOWLOCATION, 0L)  // followed here, one request per hop
        (CURLOPT_HAPPY_EYEBALLS_TIMEOUT_MS, 300L)
        (CURLOPT_CONNECTTIMEOUT, settings.connect_timeout_s)
        (CURLOPT_NOPROGRESS, 0L)
        (CURLOPT_XFERINFOFUNCTION, on_progress)
        (CURLOPT_HEADERFUNCTION, on_header)
        (CURLOPT_WRITEFUNCTION, on_body)
        // Server headers never go to the proxy, and CONNECT carries no Proxy-Connection.
        (CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
    // The anchors come from the process's shared store (the bundle instead of the system's,
    // not beside them), so the library reads no file or folder of its own per connection.
    set(CURLOPT_CAINFO, static_cast<const char*>(nullptr))(CURLOPT_PROXY_CAINFO, static_cast<const char*>(nullptr))
        (CURLOPT_CAPATH, static_cast<const char*>(nullptr))
        (CURLOPT_PROXY_CAPATH, static_cast<const char*>(nullptr))
        (CURLOPT_SSL_CTX_FUNCTION, TrustStore::attach);
    try {
        set(CURLOPT_SSL_CTX_DATA, static_cast<void*>(&TrustStore::of(settings.ca_bundle)));
        set(CURLOPT_PROXYHEADER, curl.make_list({"Proxy-Connection:"}));
    } catch (const std::bad_alloc&) {
        return HttpError(HttpErrorCode::OutOfMemory, "out of memory making the client");
    }
    if (!set.ok) return HttpError(HttpErrorCode::Setup, "the HTTP library refused a setting");
    return Exchange(std::move(settings), std::move(curl));
}

Result<Reply, BoxedError> Exchange::run(std::vector<std::uint8_t> body, const HostLookup& lookup) {
    Hop hop{settings_.url, true, std::nullopt};
    int redirect_replies = 0;
    for (;;) {
        std::optional<Result<HopReply, HttpError>> hop_reply;
        Redirect next;
        try {
            hop_reply.emplace(perform(hop, body, lookup));
            if (!*hop_reply) return boxed(std::move(*hop_reply).error());
            next = Redirect::classify(hop_reply->value().reply.status, hop.url, hop_reply->value().location);
        } catch (const std::bad_alloc&) {
            return boxed(HttpError(HttpErrorCode::OutOfMemory, "out of memory in the exchange"));
        }
        const long status = hop_reply->value().reply.status;
        if (next.kind == Redirect::Kind::None) return std::move(hop_reply->value().reply);
        if (++redirect_replies >= Redirect::kMaxUrls) {
            return boxed(HttpError(HttpErrorCode::TooManyRedirects, "too many redirects"));
        }
        if (next.kind == Redirect::Kind::BadScheme) {
            return boxed(HttpError(HttpErrorCode::Url, "redirect to a scheme other than http or https"));
        }
        hop.referer = Redirect::referer(hop.url, next.url);
        hop.post = hop.post && Redirect::keeps_method(status);
        hop.url = std::move(next.url);
    }
}

Result<Exchange::HopReply, HttpError> Exchange::perform(const Hop& hop, const std::vector<std::uint8_t>& body,
                                           const HostLookup& lookup) {
    CurlUrl url;
    if (!url.set(hop.url)) return HttpError(HttpErrorCode::Url, "URL does not parse: " + hop.url);
    const auto scheme = url.get(CURLUPART_SCHEME);
    const auto host = url.get(CURLUPART_HOST);
    const auto port_text = url.get(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!scheme || (*scheme != "http" && *scheme != "https") || !host || host->empty() || !port_text) {
        return HttpError(HttpErrorCode::Url, "not an http or https URL: " + hop.url);
    }
    const long port = std::stol(*port_text);
    const bool tls = *scheme == "https";

    const std::optional<ProxyUrl> no_proxy;
    const std::optional<ProxyUrl>& proxy =
        settings_.no_proxy.excludes(*host) ? no_proxy : settings_.proxies.for_scheme(*scheme);

    // The lookup runs here, on the caller's terms, so the library starts no resolver of its own.
    const std::string& peer_host = proxy ? proxy->host : *host;
    const long peer_port = proxy ? proxy->port : port;
    std::vector<std::string> resolve_lines;
    std::array<std::uint8_t, 16> literal{};
    if (parse_ip_address(strip_ip_brackets(peer_host), literal) == 0) {
        auto addresses = lookup(peer_host);
        if (!addresses) return std::move(addresses).error();
        std::string line = peer_host + ":" + std::to_string(peer_port) + ":";
        bool first = true;
        for (const std::string& a : addresses.value()) {
            if (!first) line += ',';
            first = false;
            line += a.find(':') != std::string::npos ? "[" + a + "]" : a;
        }
        resolve_lines.push_back(std::move(line));
    }

    std::vector<std::string> headers;
    // The library writes its own Host field with a capital; removing it first lets ours, in
    // lower case, go out as given.
    headers.push_back("Host:");
    headers.push_back("host: " + *host + (port == (tls ? 443 : 80) ? "" : ":" + *port_text));
    headers.push_back("accept: */*");
    if (hop.post) headers.push_back("content-length: " + std::to_string(body.size()));
    if (hop.referer) headers.push_back("referer: " + *hop.referer);
    // The library's own additions, removed.
    headers.push_back("Expect:");
    headers.push_back("Content-Type:");

    Transfer transfer(proxy.has_value() && tls);
    transfer.curl = curl_.handle();
    transfer.tls = tls;
    transfer.stall_s = settings_.stall_timeout_s;

    OptionSetter set{curl_.handle()};
    set(CURLOPT_URL, hop.url.c_str())
        (CURLOPT_HTTPHEADER, curl_.make_list(headers))
        (CURLOPT_RESOLVE, curl_.make_list(resolve_lines))
        (CURLOPT_HEADERDATA, &transfer)
        (CURLOPT_WRITEDATA, &transfer)
        (CURLOPT_XFERINFODATA, &transfer);
    if (hop.post) {
        set(CURLOPT_POST, 1L)
            (CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()))
            (CURLOPT_POSTFIELDS, body.data());
    } else {
        set(CURLOPT_HTTPGET, 1L);
    }
    if (proxy) {
        const std::string address = proxy->address();
        set(CURLOPT_PROXY, address.c_str())
            (CURLOPT_PROXYTYPE, static_cast<long>(proxy->scheme == "https" ? CURLPROXY_HTTPS : CURLPROXY_HTTP))
            (CURLOPT_NOPROXY, "")
            (CURLOPT_HTTPPROXYTUNNEL, tls ? 1L : 0L);
        if (proxy->has_credentials()) {
            set(CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC))
                (CURLOPT_PROXYUSERNAME, proxy->user->c_str())
                (CURLOPT_PROXYPASSWORD, proxy->password->c_str());
        } else {
            set(CURLOPT_PROXYUSERNAME, static_cast<const char*>(nullptr))
                (CURLOPT_PROXYPASSWORD, static_cast<const char*>(nullptr));
        }
    } else {
        set(CURLOPT_PROXY, "")(CURLOPT_HTTPPROXYTUNNEL, 0L);  // "" : no proxy, none from the environment
    }
    if (!set.ok) return HttpError(HttpErrorCode::Setup, "the HTTP library refused a setting");

    curl_.clear_error_buffer();
    const CURLcode rc = curl_easy_perform(curl_.handle());
    if (transfer.error) return std::move(*transfer.error);
    if (transfer.head.error()) return *transfer.head.error();
    if (rc != CURLE_OK) return HttpError::from_curl(rc, curl_.error_buffer());

    HopReply out;
    out.location = transfer.head.location();
    out.reply.status = transfer.head.status();
    out.reply.content_type = transfer.head.content_type();
    out.reply.body = std::move(transfer.body);
    return out;
}

}  // namespace qiv::http
