#include "http/HostLookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <memory>

#include "http/IpAddress.h"

namespace qiv::http {

namespace {

struct FreeAddrInfo {
    void operator()(addrinfo* list) const noexcept { ::freeaddrinfo(list); }
};

}  // namespace

Result<std::vector<std::string>, HttpError> lookup_host(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0) {
        return HttpError(HttpErrorCode::Resolve, "could not resolve host " + host + ": " + ::gai_strerror(rc));
    }
    // Freed however the copy below ends; it allocates and may throw.
    const std::unique_ptr<addrinfo, FreeAddrInfo> list(found);
    std::vector<std::string> addresses;
    for (const addrinfo* ai = list.get(); ai; ai = ai->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        int port = 0;
        if (!format_ip_address(ai->ai_addr, text, port)) continue;
        if (std::find(addresses.begin(), addresses.end(), text) == addresses.end()) addresses.emplace_back(text);
    }
    if (addresses.empty()) return HttpError(HttpErrorCode::Resolve, "no usable address for host " + host);
    return addresses;
}

}  // namespace qiv::http
