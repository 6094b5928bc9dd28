#include "http/Hop.h"

#include <openssl/evp.h>

#include "http/CurlList.h"
#include "http/TcpCounters.h"

namespace qiv::http {

namespace {

// What every callback of a hop gets as its data: the hop.
constexpr CURLoption kCallbackData[] = {CURLOPT_HEADERDATA,  CURLOPT_WRITEDATA,  CURLOPT_XFERINFODATA,
                                        CURLOPT_SOCKOPTDATA, CURLOPT_PREREQDATA, CURLOPT_RESOLVER_START_DATA};

// Clears what a hop lent the handle, so no pointer into a finished hop stays behind.
struct Lent {
    CurlHandle& curl;
    ~Lent() {
        curl.set(CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
        curl.set(CURLOPT_PROXYHEADER, static_cast<curl_slist*>(nullptr));
        curl.set(CURLOPT_RESOLVE, static_cast<curl_slist*>(nullptr));
        curl.set(CURLOPT_POSTFIELDS, static_cast<const char*>(nullptr));
        for (CURLoption data : kCallbackData) curl.set(data, static_cast<void*>(nullptr));
    }
};

std::string host_field(const Url& url) {
    std::string value = url.host();
    if (!url.has_default_port()) value += ":" + std::to_string(url.port());
    return value;
}

// "Basic " and the base64 of user:password: every byte of both, a NUL included, which the
// library's own credential options would cut off.
std::string basic_credentials(const std::string& user, const std::string& password) {
    const std::string pair = user + ":" + password;
    std::string out = "Basic ";
    const std::size_t start = out.size();
    out.resize(start + 4 * ((pair.size() + 2) / 3) + 1);  // the encoder ends with a NUL
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data() + start),
                                        reinterpret_cast<const unsigned char*>(pair.data()),
                                        static_cast<int>(pair.size()));
    out.resize(start + static_cast<std::size_t>(written));
    return out;
}

}  // namespace

size_t Hop::on_header(char* data, size_t size, size_t count, void* user) noexcept {
    auto* hop = static_cast<Hop*>(user);
    const size_t n = size * count;
    hop->head_bytes_ += n;
    try {
        if (!hop->head_.feed(std::string_view(data, n))) return 0;
    } catch (...) {
        hop->failure_ = Failure{HttpErrorCode::OutOfMemory, "out of memory reading the reply head"};
        return 0;
    }
    return n;
}

size_t Hop::on_body(char* data, size_t size, size_t count, void* user) noexcept {
    auto* hop = static_cast<Hop*>(user);
    const size_t n = size * count;
    try {
        if (!hop->head_.body_chunked()) {
            hop->body_.append(data, n);
        } else if (!hop->chunks_.feed(std::string_view(data, n), hop->body_)) {
            hop->failure_ = Failure{HttpErrorCode::Receive, hop->chunks_.error()};
            return 0;
        }
    } catch (...) {
        hop->failure_ = Failure{HttpErrorCode::OutOfMemory, "out of memory reading the reply body"};
        return 0;
    }
    return n;
}

int Hop::on_progress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) noexcept {
    auto* hop = static_cast<Hop*>(user);
    if (!hop->watching_) return 0;  // the connect time limit governs until then
    const Clock::time_point now = Clock::now();
    // The kernel's count sees every byte, also of a line or a TLS record not yet whole; the
    // library's counts stand in where the connection is not known.
    std::uint64_t moved = static_cast<std::uint64_t>(received + sent) + hop->head_bytes_;
    if (auto on_wire = tcp_bytes_moved(hop->socket_)) moved += *on_wire;
    if (moved != hop->moved_) {
        hop->moved_ = moved;
        hop->last_move_ = now;
        return 0;
    }
    if (now - hop->last_move_ < hop->stall_) return 0;
    hop->failure_ = Failure{HttpErrorCode::Timeout, "no byte sent or received within the stall limit"};
    return 1;
}

int Hop::on_socket(void* user, curl_socket_t socket, curlsocktype purpose) noexcept {
    if (purpose != CURLSOCKTYPE_IPCXN) return CURL_SOCKOPT_OK;
    auto* hop = static_cast<Hop*>(user);
    // A new connection: when it is tunnelled, the proxy's answer to CONNECT comes first.
    hop->head_.connection_opened();
    try {
        hop->sockets_.push_back(socket);
    } catch (...) {
        // Unlisted, the connection is watched by the library's counts alone.
    }
    return CURL_SOCKOPT_OK;
}

int Hop::on_request(void* user, char* peer_ip, char* local_ip, int peer_port, int local_port) noexcept {
    // The connection is made (proxy tunnel and TLS included) and the request goes out: what
    // comes back now is the origin's. The library sends a request again only when a reused
    // connection dies before any reply byte, and no hop reuses one; this refusal stands should
    // that ever change, since the server may have taken the request already.
    auto* hop = static_cast<Hop*>(user);
    if (hop->requests_sent_++ > 0) {
        hop->failure_ = Failure{HttpErrorCode::Send, "the connection ended before the reply; the request is not sent again"};
        return CURL_PREREQFUNC_ABORT;
    }
    hop->head_.request_started();
    hop->socket_ = find_connected_socket(hop->sockets_, peer_ip, peer_port, local_ip, local_port);
    hop->watching_ = true;
    hop->moved_ = 0;
    hop->head_bytes_ = 0;
    hop->last_move_ = Clock::now();
    return CURL_PREREQFUNC_OK;
}

int Hop::on_resolver_start(void*, void*, void* user) noexcept {
    // Every name was looked up before the transfer and handed over in the resolve list; the
    // library never looks one up itself. An address literal needs no lookup.
    return static_cast<Hop*>(user)->peer_is_ip_literal_ ? 0 : 1;
}

bool Hop::install_callbacks(CurlHandle& curl) noexcept {
    return curl.set(CURLOPT_NOPROGRESS, 0L) && curl.set(CURLOPT_XFERINFOFUNCTION, &Hop::on_progress) &&
           curl.set(CURLOPT_HEADERFUNCTION, &Hop::on_header) && curl.set(CURLOPT_WRITEFUNCTION, &Hop::on_body) &&
           curl.set(CURLOPT_SOCKOPTFUNCTION, &Hop::on_socket) && curl.set(CURLOPT_PREREQFUNCTION, &Hop::on_request) &&
           curl.set(CURLOPT_RESOLVER_START_FUNCTION, &Hop::on_resolver_start);
}

Result<Hop::Answer, HttpError> Hop::perform(CurlHandle& curl, const Request& request,
                                            const std::vector<std::uint8_t>& body,
                                            const std::optional<ProxyUrl>& proxy, long stall_s,
                                            const HostLookup& lookup) {
    const Url& url = request.url;
    const bool tls = url.scheme() == "https";

    // The peer's name is looked up here, on the caller's terms, and handed over under exactly
    // the host the library reads from the URL it gets.
    const std::string& peer_host = proxy ? proxy->host : url.host();
    const long peer_port = proxy ? proxy->port : url.port();
    const bool peer_is_ip_literal = proxy ? proxy->host_is_ip_literal : url.host_is_ip_literal();
    std::vector<std::string> resolve;
    if (!peer_is_ip_literal) {
        auto addresses = lookup(peer_host);
        if (!addresses) return std::move(addresses).error();
        std::string line = peer_host + ":" + std::to_string(peer_port) + ":";
        for (std::size_t i = 0; i < addresses.value().size(); ++i) {
            const std::string& a = addresses.value()[i];
            if (i > 0) line += ',';
            line += a.find(':') != std::string::npos ? "[" + a + "]" : a;
        }
        resolve.push_back(std::move(line));
    }

    std::vector<std::string> fields{
        // The library writes its own Host field with a capital; removing it first lets ours, in
        // lower case, go out as given.
        "Host:",
        "host: " + host_field(url),
        "accept: */*",
        // The library's own additions, removed.
        "Expect:",
        "Content-Type:",
    };
    if (request.post) fields.push_back("content-length: " + std::to_string(body.size()));
    if (request.referer) fields.push_back("referer: " + *request.referer);
    // Only the proxy sees these; CONNECT carries no Proxy-Connection field.
    std::vector<std::string> proxy_fields{"Proxy-Connection:"};
    if (proxy && proxy->has_credentials()) {
        proxy_fields.push_back("Proxy-Authorization: " + basic_credentials(*proxy->user, *proxy->password));
    }
    const CurlList field_list(fields);
    const CurlList proxy_field_list(proxy_fields);
    const CurlList resolve_list(resolve);

    Hop hop(proxy.has_value() && tls, peer_is_ip_literal, stall_s);
    const Lent lent{curl};
    // Never the user name and password: they would become an authorization field.
    bool ok = curl.set(CURLOPT_URL, url.bare().c_str()) && curl.set(CURLOPT_HTTPHEADER, field_list.get()) &&
              curl.set(CURLOPT_RESOLVE, resolve_list.get());
    for (CURLoption data : kCallbackData) ok = ok && curl.set(data, static_cast<void*>(&hop));
    if (request.post) {
        ok = ok && curl.set(CURLOPT_POST, 1L) &&
             curl.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())) &&
             curl.set(CURLOPT_POSTFIELDS, reinterpret_cast<const char*>(body.data()));
    } else {
        ok = ok && curl.set(CURLOPT_HTTPGET, 1L);
    }
    if (proxy) {
        // Always with its port: without one the library would take its own default, 1080.
        const std::string address = proxy->address();
        ok = ok && curl.set(CURLOPT_PROXY, address.c_str()) &&
             curl.set(CURLOPT_PROXYTYPE, static_cast<long>(proxy->scheme == "https" ? CURLPROXY_HTTPS : CURLPROXY_HTTP)) &&
             curl.set(CURLOPT_NOPROXY, "") && curl.set(CURLOPT_HTTPPROXYTUNNEL, tls ? 1L : 0L) &&
             curl.set(CURLOPT_PROXYHEADER, proxy_field_list.get());
    } else {
        // "": no proxy, and none from the environment.
        ok = ok && curl.set(CURLOPT_PROXY, "") && curl.set(CURLOPT_HTTPPROXYTUNNEL, 0L);
    }
    if (!ok) return HttpError(HttpErrorCode::Setup, "the HTTP library refused a setting");

    curl.clear_error_buffer();
    const CURLcode rc = curl_easy_perform(curl.handle());
    if (hop.failure_) return HttpError(hop.failure_->code, hop.failure_->detail);
    if (hop.head_.error()) return *hop.head_.error();
    if (rc != CURLE_OK) return HttpError::from_curl(rc, curl.error_buffer());
    if (!hop.head_.complete()) return HttpError(HttpErrorCode::ReplyHead, "reply head cut off");
    // The library ended the transfer at what it took for the last chunk; ours must agree.
    if (hop.head_.body_chunked() && !hop.chunks_.complete()) {
        return HttpError(HttpErrorCode::Receive, "chunked body cut off");
    }

    Answer out;
    out.location = hop.head_.location();
    out.reply.status = hop.head_.status();
    out.reply.content_type = hop.head_.content_type();
    out.reply.body = std::move(hop.body_);
    return out;
}

}  // namespace qiv::http
