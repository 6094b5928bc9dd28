#include <gtest/gtest.h>

#include "http/CurlGlobal.h"
#include "http/Redirect.h"

using qiv::http::Redirect;

namespace {

struct Case {
    long status;
    const char* location;  // nullptr: none
    Redirect::Kind kind;
    const char* next;
};

class RedirectCase : public ::testing::TestWithParam<Case> {};

TEST_P(RedirectCase, Classifies) {
    ASSERT_TRUE(qiv::http::curl_global_ready());
    const Case& c = GetParam();
    std::optional<std::string> location;
    if (c.location) location = c.location;
    const Redirect r = Redirect::classify(c.status, "https://api.test/v1/set_server/", location);
    EXPECT_EQ(r.kind, c.kind);
    if (c.kind != Redirect::Kind::None) {
        EXPECT_EQ(r.url, c.next);
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
                      Case{200, "/next", K::None, ""},
                      Case{304, "/next", K::None, ""},
                      Case{302, nullptr, K::None, ""},
                      Case{302, "/caf\xff", K::None, ""},          // not UTF-8
                      Case{302, "http://[bad", K::None, ""},       // does not resolve
                      Case{302, "ftp://b.test/x", K::BadScheme, "ftp://b.test/x"}));

TEST(Redirect, RefererDropsCredentialsAndFragment) {
    ASSERT_TRUE(qiv::http::curl_global_ready());
    EXPECT_EQ(Redirect::referer("https://u:p@api.test/a?q=1#frag", "https://api.test/b"), "https://api.test/a?q=1");
    EXPECT_EQ(Redirect::referer("http://api.test/a", "https://api.test/b"), "http://api.test/a");
    EXPECT_EQ(Redirect::referer("https://api.test/a", "http://api.test/b"), std::nullopt);
}

TEST(Redirect, MethodKeptOnlyBy307And308) {
    EXPECT_TRUE(Redirect::keeps_method(307));
    EXPECT_TRUE(Redirect::keeps_method(308));
    EXPECT_FALSE(Redirect::keeps_method(301));
    EXPECT_FALSE(Redirect::keeps_method(302));
    EXPECT_FALSE(Redirect::keeps_method(303));
}

}  // namespace
