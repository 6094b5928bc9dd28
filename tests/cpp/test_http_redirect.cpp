#include <gtest/gtest.h>

#include "http/Redirect.h"

using qiv::http::Redirect;
using qiv::http::Url;

namespace {

const Url& current() {
    static const Url url = *Url::parse("https://api.test/v1/set_server/");
    return url;
}

struct Case {
    long status;
    const char* location;  // nullptr: none
    Redirect::Kind kind;
    const char* next;
};

class RedirectCase : public ::testing::TestWithParam<Case> {};

TEST_P(RedirectCase, Classifies) {
    const Case& c = GetParam();
    std::optional<std::string> location;
    if (c.location) location = c.location;
    const Redirect r = Redirect::classify(c.status, current(), location);
    EXPECT_EQ(r.kind, c.kind);
    if (c.kind != Redirect::Kind::None) {
        ASSERT_TRUE(r.url);
        EXPECT_EQ(r.url->href(), c.next);
    }
}

using K = Redirect::Kind;
INSTANTIATE_TEST_SUITE_P(
    Locations, RedirectCase,
    ::testing::Values(Case{302, "/next", K::Follow, "https://api.test/next"},
                      Case{307, "other?q=1", K::Follow, "https://api.test/v1/set_server/other?q=1"},
                      Case{308, "https://b.test:8443/x", K::Follow, "https://b.test:8443/x"},
                      Case{301, "http://b.test/x", K::Follow, "http://b.test/x"},
                      Case{303, "//c.test/y", K::Follow, "https://c.test/y"},
                      // relative for a special scheme equal to the base's
                      Case{302, "https:/m/ok", K::Follow, "https://api.test/m/ok"},
                      Case{302, "https:ok", K::Follow, "https://api.test/v1/set_server/ok"},
                      Case{302, "\\m\\ok", K::Follow, "https://api.test/m/ok"},
                      Case{302, "/caf\xc3\xa9", K::Follow, "https://api.test/caf%C3%A9"},
                      Case{302, "HTTPS://API.TEST.:443/x", K::Follow, "https://api.test./x"},
                      Case{200, "/next", K::None, ""},
                      Case{304, "/next", K::None, ""},
                      Case{302, nullptr, K::None, ""},
                      Case{302, "/caf\xff", K::None, ""},     // not UTF-8
                      Case{302, "http://[bad", K::None, ""},  // does not resolve
                      Case{302, "ftp://b.test/x", K::BadScheme, "ftp://b.test/x"},
                      Case{302, "mailto:a@b", K::BadScheme, "mailto:a@b"},
                      Case{302, "data:,x", K::BadScheme, "data:,x"},
                      Case{302, "ftp:x", K::BadScheme, "ftp://x/"}));

TEST(Redirect, RefererDropsCredentialsAndFragment) {
    const auto referer = [](const char* from, const char* to) {
        return Redirect::referer(*Url::parse(from), *Url::parse(to));
    };
    EXPECT_EQ(referer("https://u:p@api.test/a?q=1#frag", "https://api.test/b"), "https://api.test/a?q=1");
    EXPECT_EQ(referer("http://api.test/a", "https://api.test/b"), "http://api.test/a");
    EXPECT_EQ(referer("https://api.test/a", "http://api.test/b"), std::nullopt);
}

TEST(Redirect, MethodKeptOnlyBy307And308) {
    EXPECT_TRUE(Redirect::keeps_method(307));
    EXPECT_TRUE(Redirect::keeps_method(308));
    EXPECT_FALSE(Redirect::keeps_method(301));
    EXPECT_FALSE(Redirect::keeps_method(302));
    EXPECT_FALSE(Redirect::keeps_method(303));
}

}  // namespace
