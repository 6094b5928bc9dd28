#include "http/IpAddress.h"

#include <arpa/inet.h>

#include <string>

namespace qiv::http {

std::string_view strip_ip_brackets(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
    return host;
}

int parse_ip_address(std::string_view text, std::array<std::uint8_t, 16>& out) {
    const std::string s(text);
    out.fill(0);
    if (inet_pton(AF_INET, s.c_str(), out.data()) == 1) return AF_INET;
    if (inet_pton(AF_INET6, s.c_str(), out.data()) == 1) return AF_INET6;
    return 0;
}

}  // namespace qiv::http
