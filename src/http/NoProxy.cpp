#include "http/NoProxy.h"

#include <arpa/inet.h>

#include <cstdlib>

#include "http/IpAddress.h"
#include "support/trim_whitespace.h"
#include "text/Utf8Decoder.h"

namespace qiv::http {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool prefix_equal(const std::array<std::uint8_t, 16>& a, const std::array<std::uint8_t, 16>& b,
                  unsigned bits) {
    std::size_t i = 0;
    for (; bits >= 8; bits -= 8, ++i) {
        if (a[i] != b[i]) return false;
    }
    if (bits == 0) return true;
    const auto mask = static_cast<std::uint8_t>(0xFF << (8 - bits));
    return (a[i] & mask) == (b[i] & mask);
}

}  // namespace

NoProxy NoProxy::parse(std::string_view list) {
    NoProxy out;
    while (true) {
        const auto comma = list.find(',');
        const std::string_view item = trim_whitespace(list.substr(0, comma));
        if (item == "*") {
            out.all_ = true;
        } else if (!item.empty()) {
            Network net;
            const auto slash = item.find('/');
            const std::string_view addr = item.substr(0, slash);
            net.family = parse_ip_address(addr, net.address);
            if (net.family != 0) {
                const unsigned max_prefix = net.family == AF_INET ? 32 : 128;
                net.prefix = max_prefix;
                bool valid = true;
                if (slash != std::string_view::npos) {
                    const std::string_view bits = item.substr(slash + 1);
                    valid = !bits.empty() && bits.size() <= 3;
                    unsigned value = 0;
                    for (char c : bits) {
                        if (c < '0' || c > '9') valid = false;
                        value = value * 10 + static_cast<unsigned>(c - '0');
                    }
                    // Bits set past the prefix are allowed; matching masks them off.
                    if (valid && value <= max_prefix) net.prefix = value;
                    else valid = false;
                }
                if (valid) out.networks_.push_back(net);
                else out.domains_.push_back(lower(item));
            } else {
                out.domains_.push_back(lower(item));
            }
        }
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return out;
}

NoProxy NoProxy::from_environment(const Environment& env) {
    auto value = env("NO_PROXY");
    if (!value || !text::is_valid_utf8(*value)) value = env("no_proxy");
    if (!value || !text::is_valid_utf8(*value)) return NoProxy{};
    return parse(*value);
}

NoProxy NoProxy::from_process_environment() {
    return from_environment([](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (!value) return std::nullopt;
        return std::string(value);
    });
}

bool NoProxy::excludes(std::string_view host) const {
    if (all_) return true;
    std::array<std::uint8_t, 16> address{};
    const int family = parse_ip_address(strip_ip_brackets(host), address);
    if (family != 0) {
        for (const Network& net : networks_) {
            if (net.family == family && prefix_equal(net.address, address, net.prefix)) return true;
        }
        return false;
    }
    const std::string name = lower(host);
    for (const std::string& item : domains_) {
        const bool dotted = item.front() == '.';
        if (name == item || (dotted && std::string_view(name) == std::string_view(item).substr(1))) return true;
        if (name.size() > item.size() && name.compare(name.size() - item.size(), item.size(), item) == 0) {
            if (dotted || name[name.size() - item.size() - 1] == '.') return true;
        }
    }
    return false;
}

}  // namespace qiv::http
