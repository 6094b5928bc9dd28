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

bool format_ip_address(const sockaddr* address, char (&text)[INET6_ADDRSTRLEN], int& port) noexcept {
    const void* raw = nullptr;
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        raw = &v4->sin_addr;
        port = ntohs(v4->sin_port);
    } else if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        raw = &v6->sin6_addr;
        port = ntohs(v6->sin6_port);
    }
    return raw && inet_ntop(address->sa_family, raw, text, sizeof text);
}

}  // namespace qiv::http
