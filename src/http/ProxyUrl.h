// A proxy as the table holds it: scheme http or https, host, port and optional credentials.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qiv::http {

struct ProxyUrl {
    std::string scheme;  // "http" or "https"
    std::string host;    // as the URL serialises it (an IPv6 address in brackets)
    bool host_is_ip_literal = false;
    long port = 0;
    // Percent-decoded; credentials are sent only when both are present.
    std::optional<std::string> user;
    std::optional<std::string> password;

    // A usable proxy from an environment value, or nullopt: trimmed, not empty, scheme http or
    // https with a host. A value without a scheme, or one read as a URL without a host (a bare
    // "host:port"), is read again with "http://" in front.
    static std::optional<ProxyUrl> parse(std::string_view value);

    // The address handed to the HTTP library, without credentials.
    std::string address() const;
    bool has_credentials() const noexcept { return user.has_value() && password.has_value(); }
};

}  // namespace qiv::http
