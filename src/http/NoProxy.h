// The hosts that bypass the proxy, from a comma-separated list read at each call.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qiv::http {

class NoProxy {
public:
    using Environment = std::function<std::optional<std::string>(const char* name)>;

    // Items are trimmed; empty items are dropped. "*" matches every host.
    static NoProxy parse(std::string_view list);

    // NO_PROXY, else no_proxy when NO_PROXY is unset or not valid text.
    static NoProxy from_environment(const Environment& env);
    static NoProxy from_process_environment();

    // host: as a URL holds it; an IPv6 address may be in brackets.
    bool excludes(std::string_view host) const;

private:
    struct Network {
        int family = 0;  // AF_INET or AF_INET6
        std::array<std::uint8_t, 16> address{};
        unsigned prefix = 0;
    };

    bool all_ = false;
    std::vector<Network> networks_;
    std::vector<std::string> domains_;  // lower-case
};

}  // namespace qiv::http
