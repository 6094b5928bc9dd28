// The redirect rules: which replies are followed, where to, and with what referer.
#pragma once

#include <optional>
#include <string>

#include "http/Url.h"

namespace qiv::http {

struct Redirect {
    enum class Kind {
        None,       // not a redirect: the reply is the final one
        Follow,     // go on to url
        BadScheme,  // resolves, but to a scheme other than http or https
    };
    Kind kind = Kind::None;
    std::optional<Url> url;

    // At most this many URLs may have been requested when a redirect reply arrives; so at
    // most 9 redirects are followed.
    static constexpr int kMaxUrls = 10;

    static bool is_redirect_status(long status) noexcept;

    // location: the raw bytes of the first location field, or nullopt. A location that is not
    // UTF-8 or does not resolve against current makes no redirect.
    static Redirect classify(long status, const Url& current, const std::optional<std::string>& location);

    // Whether a redirected request keeps its method and body (307, 308) or turns into a GET.
    static bool keeps_method(long status) noexcept { return status == 307 || status == 308; }

    // The referer for a request to next that follows a redirect from current: current without
    // user name, password or fragment; none from https to http.
    static std::optional<std::string> referer(const Url& current, const Url& next);
};

}  // namespace qiv::http
