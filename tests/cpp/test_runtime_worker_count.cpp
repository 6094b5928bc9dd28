#include <gtest/gtest.h>

#include "runtime/WorkerCount.h"

using qiv::runtime::worker_count_from;

namespace {

struct Case {
    const char* raw;  // nullptr: unset
    long processors;
    std::size_t count;
    const char* refusal;  // nullptr: accepted
};

class WorkerCountCase : public ::testing::TestWithParam<Case> {};

TEST_P(WorkerCountCase, ChoosesOrRefuses) {
    const Case& c = GetParam();
    std::optional<std::string_view> raw;
    if (c.raw) raw = std::string_view(c.raw);
    const auto choice = worker_count_from(raw, c.processors);
    if (c.refusal) {
        ASSERT_TRUE(choice.refusal.has_value());
        EXPECT_EQ(*choice.refusal, c.refusal);
    } else {
        EXPECT_FALSE(choice.refusal.has_value()) << *choice.refusal;
        EXPECT_EQ(choice.count, c.count);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, WorkerCountCase,
    ::testing::Values(
        Case{nullptr, 8, 8, nullptr},
        Case{nullptr, 0, 1, nullptr},   // an unknown processor count still gives one worker
        Case{nullptr, -1, 1, nullptr},
        Case{"3", 8, 3, nullptr},
        Case{"+3", 8, 3, nullptr},
        Case{"007", 8, 7, nullptr},
        Case{"0", 8, 0, "\"TOKIO_WORKER_THREADS\" cannot be set to 0"},
        Case{"+0", 8, 0, "\"TOKIO_WORKER_THREADS\" cannot be set to 0"},
        Case{"", 8, 0, "\"TOKIO_WORKER_THREADS\" must be usize, error: cannot parse integer from empty string, value: "},
        Case{"abc", 8, 0, "\"TOKIO_WORKER_THREADS\" must be usize, error: invalid digit found in string, value: abc"},
        Case{"+", 8, 0, "\"TOKIO_WORKER_THREADS\" must be usize, error: invalid digit found in string, value: +"},
        Case{"-1", 8, 0, "\"TOKIO_WORKER_THREADS\" must be usize, error: invalid digit found in string, value: -1"},
        Case{" 2", 8, 0, "\"TOKIO_WORKER_THREADS\" must be usize, error: invalid digit found in string, value:  2"},
        Case{"18446744073709551615", 8, 18446744073709551615ULL, nullptr},
        Case{"18446744073709551616", 8, 0,
             "\"TOKIO_WORKER_THREADS\" must be usize, error: number too large to fit in target type, value: 18446744073709551616"},
        Case{"99999999999999999999999x", 8, 0,
             "\"TOKIO_WORKER_THREADS\" must be usize, error: invalid digit found in string, value: 99999999999999999999999x"},
        Case{"a\xff\"b\n", 8, 0, "\"TOKIO_WORKER_THREADS\" must be valid unicode, error: \"a\\xFF\\\"b\\n\""},
        Case{"\xc3\xa9\xe2\x82", 8, 0, "\"TOKIO_WORKER_THREADS\" must be valid unicode, error: \"\xc3\xa9\\xE2\\x82\""},
        Case{"\xc2\xa0\xcc\x81\xe2\x80\x8b\xff", 8, 0,
             "\"TOKIO_WORKER_THREADS\" must be valid unicode, error: \"\\u{a0}\\u{301}\\u{200b}\\xFF\""},
        // The byte that breaks a sequence is read again; surrogates, overlongs and values past
        // U+10FFFF are ill-formed byte by byte.
        Case{"\xe2" "A", 8, 0, "\"TOKIO_WORKER_THREADS\" must be valid unicode, error: \"\\xE2A\""},
        Case{"\xed\xa0\x80\xc0\x80\xf4\x90\x80\x80", 8, 0,
             "\"TOKIO_WORKER_THREADS\" must be valid unicode, error: "
             "\"\\xED\\xA0\\x80\\xC0\\x80\\xF4\\x90\\x80\\x80\""}));

}  // namespace
