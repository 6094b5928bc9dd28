// Reads the reply heads of one request line by line, as the HTTP library hands them over: the
// proxy's answer to CONNECT when a new connection is tunnelled, then any interim replies, then
// the final head. Heads are checked strictly (RFC 9112) and their size limits enforced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "http/HttpError.h"

namespace qiv::http {

class ReplyHead {
public:
    static constexpr std::size_t kMaxHeadBytes = 417'792;
    static constexpr std::size_t kMaxFields = 100;
    static constexpr std::size_t kMaxTunnelHeadBytes = 8192;

    // tunnels: a new connection of this request opens a proxy tunnel, so its first head is the
    // proxy's answer to CONNECT.
    explicit ReplyHead(bool tunnels) : tunnels_(tunnels), in_tunnel_reply_(tunnels) {}

    // A new connection is being made: when tunnelling, the proxy's answer comes next.
    void connection_opened() noexcept;
    // The request goes out on its connection: the origin's reply comes next.
    void request_started() noexcept;

    // One line with its line end. false stops the transfer; error() then says why.
    // Throws std::bad_alloc only.
    bool feed(std::string_view line);

    // The final head has reached its empty line; a head cut off by the connection is no reply.
    bool complete() const noexcept { return final_done_; }
    long status() const noexcept { return status_; }
    const std::optional<std::string>& location() const noexcept { return location_; }
    const std::optional<std::string>& content_type() const noexcept { return content_type_; }
    const std::optional<HttpError>& error() const noexcept { return error_; }
    // The final reply's body comes in chunks; a 204 or 304 reply has no body, whatever it says.
    bool body_chunked() const noexcept { return chunked_ && status_ != 204 && status_ != 304; }

private:
    enum class Kept { None, Location, ContentType, Framing };

    bool fail(HttpErrorCode code, std::string detail);
    void forget_fields() noexcept;
    bool feed_tunnel(std::string_view line);
    bool start_head(std::string_view status_line);
    bool field(std::string_view line);
    bool continuation(std::string_view line);
    bool content_length(std::string_view value);
    bool transfer_encoding(std::string_view value);

    bool tunnels_;
    bool in_tunnel_reply_;
    bool at_head_start_ = true;
    bool final_done_ = false;  // lines after the final head are trailers, not read
    std::size_t head_bytes_ = 0;
    std::size_t fields_ = 0;
    long status_ = 0;
    bool http10_ = false;
    bool chunked_ = false;
    bool other_coding_ = false;  // a transfer coding but chunked, which must come before it
    Kept last_field_ = Kept::None;  // the field a folded line continues
    bool any_field_ = false;
    std::optional<std::uint64_t> content_length_;
    std::optional<std::string> location_;
    std::optional<std::string> content_type_;
    std::optional<HttpError> error_;
};

}  // namespace qiv::http
