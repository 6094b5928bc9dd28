// What the kernel counts on a TCP connection: the bytes that moved on the wire, whatever the
// layers above (TLS records, a proxy tunnel) have made of them yet.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace qiv::http {

// Bytes received, plus bytes sent and acknowledged, on a TCP socket; nullopt when the kernel
// cannot tell (not a TCP socket, or closed).
std::optional<std::uint64_t> tcp_bytes_moved(curl_socket_t socket) noexcept;

// Of sockets, the one connected from local_ip:local_port to peer_ip:peer_port (numeric texts),
// else CURL_SOCKET_BAD.
curl_socket_t find_connected_socket(const std::vector<curl_socket_t>& sockets, const char* peer_ip,
                                    int peer_port, const char* local_ip, int local_port) noexcept;

}  // namespace qiv::http
