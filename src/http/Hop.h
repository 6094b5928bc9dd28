// One request of a server call's exchange: the first POST, or a request that follows a
// redirect. A hop holds everything its request needs (its header and resolve lists, the state
// its callbacks fill in) and lends the handle only while it runs. It goes out on a new
// connection, which ends with its reply: nothing of one hop's connection reaches the next.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "http/ChunkedBody.h"
#include "http/CurlHandle.h"
#include "http/HttpError.h"
#include "http/ProxyUrl.h"
#include "http/Reply.h"
#include "http/ReplyHead.h"
#include "http/Url.h"
#include "support/Result.h"

namespace qiv::http {

class Hop {
public:
    // Looks a host name up; given by the caller so the lookup runs where the caller wants it.
    using HostLookup = std::function<Result<std::vector<std::string>, HttpError>(const std::string& host)>;

    struct Request {
        Url url;
        bool post = true;
        std::optional<std::string> referer;
    };

    struct Answer {
        Reply reply;
        std::optional<std::string> location;  // raw bytes of the first location field
    };

    // The callbacks of every hop, set once on the handle; each hop sets their data.
    static bool install_callbacks(CurlHandle& curl) noexcept;

    // Sends request (body when it is a POST) directly, or through proxy, at most once, and reads
    // the reply.
    static Result<Answer, HttpError> perform(CurlHandle& curl, const Request& request,
                                             const std::vector<std::uint8_t>& body,
                                             const std::optional<ProxyUrl>& proxy, long stall_s,
                                             const HostLookup& lookup);

private:
    using Clock = std::chrono::steady_clock;

    // A failure found in a callback: fixed texts, so recording one never allocates.
    struct Failure {
        HttpErrorCode code;
        const char* detail;
    };

    Hop(bool tunnels, bool peer_is_ip_literal, long stall_s)
        : head_(tunnels), peer_is_ip_literal_(peer_is_ip_literal), stall_(stall_s) {}

    static size_t on_header(char* data, size_t size, size_t count, void* user) noexcept;
    static size_t on_body(char* data, size_t size, size_t count, void* user) noexcept;
    static int on_progress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) noexcept;
    static int on_socket(void* user, curl_socket_t, curlsocktype purpose) noexcept;
    static int on_request(void* user, char* peer_ip, char* local_ip, int peer_port, int local_port) noexcept;
    static int on_resolver_start(void*, void*, void* user) noexcept;

    ReplyHead head_;
    ChunkedBody chunks_;  // reads the body when the final head says it comes in chunks
    std::string body_;
    std::optional<Failure> failure_;
    bool peer_is_ip_literal_;
    int requests_sent_ = 0;
    // The stall watch: from the moment the request goes out on its connection, no byte moving
    // on that connection for stall_ ends the hop.
    std::chrono::seconds stall_;
    std::vector<curl_socket_t> sockets_;  // every socket the hop made; its connection is one of them
    curl_socket_t socket_ = CURL_SOCKET_BAD;  // the request's connection, once known
    bool watching_ = false;
    std::uint64_t moved_ = 0;
    std::uint64_t head_bytes_ = 0;
    Clock::time_point last_move_{};
};

}  // namespace qiv::http
