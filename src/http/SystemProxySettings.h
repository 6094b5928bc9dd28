// The platform's proxy settings: a dictionary of named settings in, proxy-table entries out.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>

#include "http/ProxyUrl.h"

namespace qiv::http {

class SystemProxySettings {
public:
    // One setting: a number or a text. Settings of other types are left out by the reader.
    using Value = std::variant<long long, std::string>;
    using Dictionary = std::map<std::string, Value>;

    // Keys of the dictionary, as the platform names them.
    static constexpr const char* kHttpEnable = "HTTPEnable";
    static constexpr const char* kHttpProxy = "HTTPProxy";
    static constexpr const char* kHttpPort = "HTTPPort";
    static constexpr const char* kHttpsEnable = "HTTPSEnable";
    static constexpr const char* kHttpsProxy = "HTTPSProxy";
    static constexpr const char* kHttpsPort = "HTTPSPort";

    struct Entries {
        std::optional<ProxyUrl> http;
        std::optional<ProxyUrl> https;
    };

    // The platform's current settings; nullopt when they cannot be read. This platform keeps
    // none, so it always reports nullopt.
    static std::optional<Dictionary> read();

    // An entry exists when its Enable is the number 1 and its Proxy is a text: an http proxy at
    // that host, at Port when that is a number.
    static Entries entries(const Dictionary& settings);
};

}  // namespace qiv::http
