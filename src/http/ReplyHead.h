// Reads the reply heads of one request line by line, as the HTTP library hands them over,
// and enforces the size limits: the proxy's tunnel reply first (when tunnelling), then any
// interim replies, then the final head.
#pragma once

#include <cstddef>
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

    // tunnelled: the first head is the proxy's answer to CONNECT.
    explicit ReplyHead(bool tunnelled) : in_tunnel_reply_(tunnelled) {}

    // One line with its line end. false stops the transfer; error() then says why.
    bool feed(std::string_view line);

    long status() const noexcept { return status_; }
    const std::optional<std::string>& location() const noexcept { return location_; }
    const std::optional<std::string>& content_type() const noexcept { return content_type_; }
    const std::optional<HttpError>& error() const noexcept { return error_; }

private:
    bool fail(HttpErrorCode code, std::string detail);
    bool start_head(std::string_view status_line);
    bool feed_tunnel(std::string_view line);

    bool in_tunnel_reply_;
    bool at_head_start_ = true;
    bool final_done_ = false;  // lines after the final head are trailers, not read
    std::size_t head_bytes_ = 0;
    std::size_t fields_ = 0;
    long status_ = 0;
    std::optional<std::string> location_;
    std::optional<std::string> content_type_;
    std::optional<HttpError> error_;
};

}  // namespace qiv::http
