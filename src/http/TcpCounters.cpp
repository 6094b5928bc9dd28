#include "http/TcpCounters.h"

#include <arpa/inet.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace qiv::http {

namespace {

using AddressOf = int (*)(int, sockaddr*, socklen_t*);

// Whether the socket's own or peer address (by which) is ip:port.
bool address_is(curl_socket_t socket, AddressOf which, const char* ip, int port) noexcept {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (which(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw = nullptr;
    int found_port = 0;
    if (address.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
        raw = &v4->sin_addr;
        found_port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        raw = &v6->sin6_addr;
        found_port = ntohs(v6->sin6_port);
    } else {
        return false;
    }
    return found_port == port && inet_ntop(address.ss_family, raw, text, sizeof text) &&
           std::strcmp(text, ip) == 0;
}

}  // namespace

std::optional<std::uint64_t> tcp_bytes_moved(curl_socket_t socket) noexcept {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (socket == CURL_SOCKET_BAD || getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) {
        return std::nullopt;
    }
    // Older kernels fill a shorter record, without these counters.
    if (length < offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received) return std::nullopt;
    return info.tcpi_bytes_received + info.tcpi_bytes_acked;
}

curl_socket_t find_connected_socket(const std::vector<curl_socket_t>& sockets, const char* peer_ip,
                                    int peer_port, const char* local_ip, int local_port) noexcept {
    if (!peer_ip || !local_ip) return CURL_SOCKET_BAD;
    // Newest first: a closed socket's number may have been given to a newer one.
    for (auto it = sockets.rbegin(); it != sockets.rend(); ++it) {
        if (address_is(*it, ::getsockname, local_ip, local_port) && address_is(*it, ::getpeername, peer_ip, peer_port)) {
            return *it;
        }
    }
    return CURL_SOCKET_BAD;
}

}  // namespace qiv::http
