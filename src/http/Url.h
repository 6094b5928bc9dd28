// A URL read by the WHATWG URL Standard. The server URL, every location and every proxy value
// are read by this one type, so that what is resolved, looked up and requested is one string.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qiv::http {

class Url {
public:
    // An absolute URL, or nullopt when input is none (the standard's failure).
    static std::optional<Url> parse(std::string_view input);
    // input resolved against base.
    static std::optional<Url> parse(std::string_view input, const Url& base);

    // The serialisation.
    const std::string& href() const noexcept { return href_; }
    // The serialisation without user name, password and fragment: what is requested, and
    // what a referer names.
    const std::string& bare() const noexcept { return bare_; }
    // Without the trailing ':'.
    const std::string& scheme() const noexcept { return scheme_; }
    bool is_http() const noexcept { return scheme_ == "http" || scheme_ == "https"; }
    // Serialised: lower case, IDN in ASCII, an IPv6 address in brackets; empty when none.
    const std::string& host() const noexcept { return host_; }
    bool host_is_ip_literal() const noexcept { return ip_literal_; }
    // The explicit port, else the scheme's default; -1 for a scheme without one.
    long port() const noexcept { return port_; }
    bool has_default_port() const noexcept { return default_port_; }
    // Percent-decoded; empty when the URL has none.
    std::string user() const;
    std::string password() const;
    bool has_user() const noexcept { return !user_.empty(); }
    bool has_password() const noexcept { return !password_.empty(); }

private:
    static std::optional<Url> parse_with(std::string_view input, const std::string* base);

    std::string href_;
    std::string bare_;
    std::string scheme_;
    std::string host_;
    std::string user_;      // percent-encoded, as serialised
    std::string password_;  // percent-encoded, as serialised
    long port_ = -1;
    bool default_port_ = true;
    bool ip_literal_ = false;
};

}  // namespace qiv::http
