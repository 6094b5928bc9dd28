// A reply's content-type and body to its text: the charset parameter as the media type parser
// reads it, UTF-8 whenever there is none, and a byte order mark over both.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "text/MediaType.h"
#include "text/ReplyDecoder.h"

namespace qiv::text {
namespace {

using namespace std::string_literals;

// Byte E9 is "é" in windows-1252 and ill-formed in UTF-8: the result tells which one applied.
const std::string kLatin1 = "\xC3\xA9";
const std::string kUtf8 = "\xEF\xBF\xBD";

struct HeaderCase {
    std::optional<std::string> content_type;
    std::string decoded_e9;
};

// Printable ASCII as is, other bytes as \xHH: readable names for the parametrized cases.
std::string escaped(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != ';') {
            out += static_cast<char>(c);
        } else {
            static const char* digits = "0123456789ABCDEF";
            out += {'\\', 'x', digits[c >> 4], digits[c & 15]};
        }
    }
    return out;
}

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << (c.content_type ? "[" + escaped(*c.content_type) + "]" : "none");
}

class ContentType : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ContentType, PicksTheEncoding) {
    const auto& header = GetParam().content_type;
    const std::optional<std::string_view> view = header ? std::optional<std::string_view>(*header) : std::nullopt;
    EXPECT_EQ(decode_reply(view, "\xE9"), GetParam().decoded_e9);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ContentType,
    ::testing::Values(
        HeaderCase{std::nullopt, kUtf8}, HeaderCase{"", kUtf8}, HeaderCase{"text/html", kUtf8},
        HeaderCase{"text/html; charset=latin1", kLatin1}, HeaderCase{"TEXT/HTML;CHARSET=LATIN1", kLatin1},
        HeaderCase{" \ttext/html ;\t charset=latin1 \t", kLatin1}, HeaderCase{"text/html; charset=\"latin1\"", kLatin1},
        HeaderCase{"text/html; charset=\"lat\\in\\1\"", kLatin1},  // backslash escapes
        HeaderCase{"text/html; charset=\"latin1", kLatin1},        // unterminated quote
        HeaderCase{"text/html; charset=\"latin1\"junk; x=y", kLatin1},
        HeaderCase{"text/html; charset=\" latin1 \"", kLatin1},  // the label's white space is trimmed
        HeaderCase{"text/html; a=\"b;charset=utf-8\"; charset=latin1", kLatin1},
        HeaderCase{"text/html; foo; charset=latin1", kLatin1}, HeaderCase{"text/html; =x; charset=latin1", kLatin1},
        HeaderCase{"text/html; charset=latin1; charset=utf-8", kLatin1},  // the first one wins
        HeaderCase{"text/html; charset=; charset=latin1", kLatin1},       // an empty value is skipped
        HeaderCase{"text/html; charset=\"\"; charset=latin1", kUtf8},     // an empty quoted one is not
        HeaderCase{"text/html; charset=latin1;", kLatin1}, HeaderCase{"text/html; charset = latin1", kUtf8},
        HeaderCase{"text/html; charset", kUtf8}, HeaderCase{"text/html; charset=", kUtf8},
        HeaderCase{"text/html; charset=unknown-label", kUtf8}, HeaderCase{"text/html; charset=utf-8", kUtf8},
        HeaderCase{"text/html; charset=ascii", kLatin1}, HeaderCase{"*/*; charset=latin1", kLatin1},
        // Not a media type.
        HeaderCase{"charset=latin1", kUtf8}, HeaderCase{"text; charset=latin1", kUtf8},
        HeaderCase{"/html; charset=latin1", kUtf8}, HeaderCase{"text/; charset=latin1", kUtf8},
        HeaderCase{"te xt/html; charset=latin1", kUtf8}, HeaderCase{"text/ht(ml); charset=latin1", kUtf8},
        HeaderCase{"text/html/x; charset=latin1", kUtf8},
        // Anything but visible ASCII, spaces and tabs in the header.
        HeaderCase{"text/html; charset=latin1; x=\xE9", kUtf8}, HeaderCase{"text/html; charset=latin1\r\n", kUtf8},
        HeaderCase{"text/html; charset=latin1\x7F", kUtf8}, HeaderCase{"text/html;\ncharset=latin1", kUtf8},
        HeaderCase{"text/html; charset=latin1\0"s, kUtf8}));

TEST(MediaType, ParsesTypeSubtypeAndCharset) {
    auto parsed = MediaType::parse(" Text/HTML ; Charset=\"a\\\"b\" ; x=y ");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->type, "text");
    EXPECT_EQ(parsed->subtype, "html");
    EXPECT_EQ(parsed->charset, "a\"b");
    EXPECT_EQ(MediaType::parse("text/plain; charset=\"a\\")->charset, "a\\");  // a final lone backslash stays
    EXPECT_FALSE(MediaType::parse("text/plain")->charset.has_value());
}

struct BodyCase {
    std::string charset;
    std::string body;
    std::string text;
};

void PrintTo(const BodyCase& c, std::ostream* os) { *os << c.charset << " [" << escaped(c.body) << "]"; }

class Body : public ::testing::TestWithParam<BodyCase> {};

TEST_P(Body, DecodesAsTheStandard) {
    const std::string content_type = "text/plain; charset=" + GetParam().charset;
    EXPECT_EQ(decode_reply(content_type, GetParam().body), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, Body,
    ::testing::Values(
        // Well-formed UTF-8 comes back byte for byte; each malformed sequence becomes U+FFFD.
        BodyCase{"utf-8", "plain \xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", "plain \xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"},
        BodyCase{"utf-8", "a\xFF" "b\xE2\x82" "c", "a" + kUtf8 + "b" + kUtf8 + "c"}, BodyCase{"utf-8", "", ""},
        // A byte order mark decides over the label and is dropped.
        BodyCase{"utf-8", "\xEF\xBB\xBF" "abc", "abc"}, BodyCase{"latin1", "\xEF\xBB\xBF\xC3\xA9", kLatin1},
        BodyCase{"utf-8", "\xFF\xFE" "A\0\xE9\0"s, "A" + kLatin1}, BodyCase{"utf-8", "\xFE\xFF\0A\0\xE9"s, "A" + kLatin1},
        BodyCase{"utf-16be", "\xFF\xFE" "A\0"s, "A"}, BodyCase{"utf-16le", "\xEF\xBB\xBF" "A", "A"},
        BodyCase{"iso-2022-kr", "\xEF\xBB\xBF", ""}, BodyCase{"utf-8", "\xEF\xBB\xBF\xEF\xBB\xBF", "\xEF\xBB\xBF"},
        BodyCase{"utf-8", "\xEF\xBB", kUtf8}, BodyCase{"latin1", "\xFF", "\xC3\xBF"},
        BodyCase{"latin1", "\xFE", "\xC3\xBE"},
        // The labels of encodings without a decoder of their own.
        BodyCase{"utf-16", "A\0"s, "A"}, BodyCase{"iso-2022-kr", "anything", kUtf8}, BodyCase{"hz-gb-2312", "", ""},
        BodyCase{"x-user-defined", "\xF7", "\xEF\x9F\xB7"}, BodyCase{"gbk", "\x80", "\xE2\x82\xAC"}));

}  // namespace
}  // namespace qiv::text
