#include "http/TcpCounters.h"

#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "http/IpAddress.h"

namespace qiv::http {

namespace {

using AddressOf = int (*)(int, sockaddr*, socklen_t*);

// Whether the socket's own or peer address (by which) is ip:port.
bool address_is(curl_socket_t socket, AddressOf which, const char* ip, int port) noexcept {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (which(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
    char text[INET6_ADDRSTRLEN] = {};
    int found_port = 0;
    return format_ip_address(reinterpret_cast<const sockaddr*>(&address), text, found_port) && found_port == port &&
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
