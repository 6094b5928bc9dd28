#include <gtest/gtest.h>

#include "http/NoProxy.h"

using qiv::http::NoProxy;

namespace {

struct Case {
    const char* list;
    const char* host;
    bool excluded;
};

class NoProxyCase : public ::testing::TestWithParam<Case> {};

TEST_P(NoProxyCase, Matches) {
    const Case& c = GetParam();
    EXPECT_EQ(NoProxy::parse(c.list).excludes(c.host), c.excluded) << "list '" << c.list << "' host " << c.host;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, NoProxyCase,
    ::testing::Values(
        Case{"", "api.example.com", false},
        Case{" , ,", "api.example.com", false},
        Case{"*", "api.example.com", true},
        Case{"*", "10.1.2.3", true},
        Case{"other.org, *", "api.example.com", true},
        Case{"api.example.com", "api.example.com", true},
        Case{"API.Example.com", "api.example.com", true},
        Case{"  api.example.com  ", "api.example.com", true},
        Case{"example.com", "api.example.com", true},         // parent domain
        Case{".example.com", "api.example.com", true},        // parent domain, leading dot
        Case{".example.com", "example.com", true},            // the domain itself
        Case{"ample.com", "api.example.com", false},          // no dot boundary
        Case{".ample.com", "api.example.com", false},
        Case{"example.com", "example.com.evil.net", false},
        Case{"other.org,example.com", "api.example.com", true},
        Case{"127.0.0.1", "127.0.0.1", true},
        Case{"127.0.0.1", "127.0.0.2", false},
        Case{"127.0.0.0/8", "127.200.0.1", true},
        Case{"10.0.0.0/8", "11.0.0.1", false},
        Case{"10.1.2.3/8", "10.9.9.9", true},                 // host bits past the prefix are masked
        Case{"0.0.0.0/0", "192.0.2.1", true},
        Case{"::1", "[::1]", true},
        Case{"2001:db8::/32", "[2001:db8:1::5]", true},
        Case{"2001:db8::/32", "[2001:db9::5]", false},
        Case{"127.0.0.0/8", "localhost", false},              // IP items match IP hosts only
        Case{"127.0.0.1", "[::ffff:127.0.0.1]", false},       // families are not mixed
        Case{"10.0.0.0/33", "10.0.0.0/33", true}));           // not a network: compared as a name

TEST(NoProxyEnvironment, UpperCaseFirstElseLowerCase) {
    auto env = [](std::optional<std::string> upper, std::optional<std::string> lower) {
        return [=](const char* name) -> std::optional<std::string> {
            return std::string(name) == "NO_PROXY" ? upper : lower;
        };
    };
    EXPECT_TRUE(NoProxy::from_environment(env("a.test", "b.test")).excludes("a.test"));
    EXPECT_FALSE(NoProxy::from_environment(env("a.test", "b.test")).excludes("b.test"));
    EXPECT_TRUE(NoProxy::from_environment(env(std::nullopt, "b.test")).excludes("b.test"));
    EXPECT_TRUE(NoProxy::from_environment(env("\xff", "b.test")).excludes("b.test"));  // not valid text
    EXPECT_FALSE(NoProxy::from_environment(env("", "b.test")).excludes("b.test"));     // set and empty
}

}  // namespace
