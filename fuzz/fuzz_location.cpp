// Locations of redirect replies, resolved against the URL that answered: a followed redirect
// leads to an http or https URL with a host, whose serialisation reads back as itself, and
// what is requested and named as referer never carries credentials or a fragment.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "http/Redirect.h"
#include "http/Url.h"

namespace {

using qiv::http::Redirect;
using qiv::http::Url;

void check(bool condition) {
    if (!condition) std::abort();
}

constexpr const char* kBases[] = {"https://localhost:47443/v1/set_server/", "https://u:p@api.test/a/b?q#f",
                                  "http://[::1]/x", "https://xn--bcher-kva.test./"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const Url base = *Url::parse(kBases[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kBases) - 1)]);
    const long status = input.PickValueInArray({301L, 302L, 303L, 307L, 308L, 200L});
    const std::string location = input.ConsumeRemainingBytesAsString();

    const Redirect next = Redirect::classify(status, base, location);
    if (next.kind == Redirect::Kind::None) return 0;
    check(next.url.has_value());
    const Url& url = *next.url;
    const std::optional<Url> again = Url::parse(url.href());
    check(again && again->href() == url.href());
    if (next.kind == Redirect::Kind::BadScheme) {
        check(!url.is_http());
        return 0;
    }
    check(url.is_http() && !url.host().empty());
    check(url.port() > 0 && url.port() <= 65535);
    check(url.bare().find('#') == std::string::npos);
    const std::optional<Url> bare = Url::parse(url.bare());
    check(bare && !bare->has_user() && !bare->has_password() && bare->host() == url.host() &&
          bare->port() == url.port());
    const auto referer = Redirect::referer(base, url);
    check(!referer || *referer == base.bare());
    return 0;
}
