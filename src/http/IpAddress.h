// IP address literals as hosts, proxy hosts and NO_PROXY items hold them.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <string_view>

namespace qiv::http {

// A URL's host without the brackets around an IPv6 literal.
std::string_view strip_ip_brackets(std::string_view host);

// Parses an IPv4 or IPv6 address (no brackets) into 16 bytes: the family (AF_INET, AF_INET6),
// or 0 when the text is no address.
int parse_ip_address(std::string_view text, std::array<std::uint8_t, 16>& out);

// The numeric text of an IPv4 or IPv6 socket address (no brackets) and its port; false for
// another family.
bool format_ip_address(const sockaddr* address, char (&text)[INET6_ADDRSTRLEN], int& port) noexcept;

}  // namespace qiv::http
