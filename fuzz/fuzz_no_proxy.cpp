// The NO_PROXY list and its matching. Input: the list, a NUL, then the host to match.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "http/NoProxy.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// A host that can stand as a list item by itself: no separator, no space, no prefix syntax.
bool usable_as_item(std::string_view host) {
    if (host.empty()) return false;
    for (char c : host) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F || c == ',' || c == '/' || c == '[' || c == ']') return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto nul = input.find('\0');
    const std::string_view list = input.substr(0, nul);
    const std::string_view host = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);

    const qiv::http::NoProxy no_proxy = qiv::http::NoProxy::parse(list);
    const bool excluded = no_proxy.excludes(host);

    // The same list read from the environment matches the same way (when it is valid text).
    const qiv::http::NoProxy from_env = qiv::http::NoProxy::from_environment(
        [&](const char* name) -> std::optional<std::string> {
            if (std::string_view(name) == "NO_PROXY") return std::string(list);
            return std::nullopt;
        });
    const bool env_excluded = from_env.excludes(host);
    check(!env_excluded || excluded);

    // A list that names the host matches it, whatever else it holds, in any letter case.
    if (usable_as_item(host) && host.find('\0') == std::string_view::npos) {
        std::string upper(host);
        for (char& c : upper) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        check(qiv::http::NoProxy::parse(std::string(list) + "," + upper).excludes(host));
        if (excluded) check(qiv::http::NoProxy::parse(std::string(list) + ",example.invalid").excludes(host));
    }
    return 0;
}
