#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "log/DebugFmt.h"
#include "text/Utf8Decoder.h"

using namespace std::literals;

namespace {

struct Case {
    std::string_view bytes;
    std::string_view quoted;
};

void PrintTo(const Case& c, std::ostream* os) {
    for (unsigned char b : c.bytes) *os << "0123456789ABCDEF"[b >> 4] << "0123456789ABCDEF"[b & 0xF];
}

class QuotedBytes : public ::testing::TestWithParam<Case> {};

TEST_P(QuotedBytes, EscapesWellFormedRunsAsTextAndEachBadByteAsHex) {
    const Case& c = GetParam();
    std::string out = "x";
    qiv::append_quoted_bytes(out, c.bytes);
    EXPECT_EQ(out, "x"s.append(c.quoted));
    if (qiv::text::is_valid_utf8(c.bytes)) {
        std::string text;
        qiv::append_quoted(text, c.bytes);
        EXPECT_EQ(text, c.quoted);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, QuotedBytes,
    ::testing::Values(
        Case{"\xcc\x81x \"\\\x00\xe2\x80\x8b"sv, R"("\u{301}x \"\\\0\u{200b}")"sv},
        Case{"\xe2" "A"sv, R"("\xE2A")"sv},  // the byte that breaks a sequence is read again
        Case{"a\xf0\x9f\x98\x80\xf0\x9f\x98"sv, "\"a\xf0\x9f\x98\x80\\xF0\\x9F\\x98\""sv},
        Case{"\xed\xa0\x80\xc0\x80\xf4\x90\x80\x80"sv, R"("\xED\xA0\x80\xC0\x80\xF4\x90\x80\x80")"sv}));

}  // namespace
