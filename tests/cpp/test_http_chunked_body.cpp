#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "http/ChunkedBody.h"

using qiv::http::ChunkedBody;

namespace {

// What a framed body reads as: its data once whole, nullopt when the framing breaks, "cut"
// when the bytes end before the final line end.
std::optional<std::string> read_in_pieces(const std::string& framed, std::size_t piece) {
    ChunkedBody reader;
    std::string out;
    for (std::size_t pos = 0; pos < framed.size(); pos += piece) {
        if (!reader.feed(std::string_view(framed).substr(pos, piece), out)) {
            EXPECT_NE(reader.error(), nullptr);
            EXPECT_FALSE(reader.feed("", out));  // a broken body stays broken
            return std::nullopt;
        }
    }
    EXPECT_EQ(reader.error(), nullptr);
    return reader.complete() ? out : "cut";
}

struct ChunkCase {
    const char* name;
    std::string framed;
    std::optional<std::string> body;  // nullopt: the framing is broken
};

std::string case_name(const ::testing::TestParamInfo<ChunkCase>& param_info) { return param_info.param.name; }

class Chunked : public ::testing::TestWithParam<ChunkCase> {};

// Every case reads the same whole, a byte at a time and split at every point.
TEST_P(Chunked, ReadsTheSameHoweverSplit) {
    const ChunkCase& c = GetParam();
    EXPECT_EQ(read_in_pieces(c.framed, c.framed.size() + 1), c.body);
    EXPECT_EQ(read_in_pieces(c.framed, 1), c.body);
    for (std::size_t split = 1; split < c.framed.size(); ++split) {
        ChunkedBody reader;
        std::string out;
        const bool ok = reader.feed(c.framed.substr(0, split), out) && reader.feed(c.framed.substr(split), out);
        EXPECT_EQ(ok ? std::optional<std::string>(reader.complete() ? out : "cut") : std::nullopt, c.body)
            << "split at " << split;
    }
}

const std::string kTail = "\r\nhello\r\n0\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Malformed, Chunked,
    ::testing::Values(ChunkCase{"size_then_letters", "5zz" + kTail, std::nullopt},
                      ChunkCase{"size_then_nul", std::string("5\0", 2) + kTail, std::nullopt},
                      ChunkCase{"no_size", ";a" + kTail, std::nullopt},
                      ChunkCase{"empty_size_line", kTail, std::nullopt},
                      ChunkCase{"hex_prefix", "0x5" + kTail, std::nullopt},
                      ChunkCase{"blank_before_line_end", "5 " + kTail, std::nullopt},
                      ChunkCase{"extension_without_name", "5;" + kTail, std::nullopt},
                      ChunkCase{"extension_name_then_blank", "5;a " + kTail, std::nullopt},
                      ChunkCase{"extension_with_bare_cr", "5;a\rb" + kTail, std::nullopt},
                      ChunkCase{"extension_empty_value", "5;a=" + kTail, std::nullopt},
                      ChunkCase{"extension_two_tokens", "5;a=b c" + kTail, std::nullopt},
                      ChunkCase{"extension_quote_unclosed", "5;a=\"b" + kTail, std::nullopt},
                      ChunkCase{"extension_quote_then_token", "5;a=\"b\"c" + kTail, std::nullopt},
                      ChunkCase{"extension_quoted_control", "5;a=\"\x01\"" + kTail, std::nullopt},
                      ChunkCase{"size_overflows", "10000000000000000\r\n", std::nullopt},
                      ChunkCase{"last_chunk_letters", "5\r\nhello\r\n0zz\r\n\r\n", std::nullopt},
                      ChunkCase{"data_longer", "5\r\nhelloX\r\n0\r\n\r\n", std::nullopt},
                      ChunkCase{"data_ended_by_crs", "5\r\nhello\r\r\r\n0\r\n\r\n", std::nullopt},
                      ChunkCase{"trailer_name_with_blank", "5\r\nhello\r\n0\r\nx t: 1\r\n\r\n", std::nullopt},
                      ChunkCase{"trailer_without_colon", "0\r\nx-t\r\n\r\n", std::nullopt},
                      ChunkCase{"trailer_control_in_value", "0\r\nx: a\x01\r\n\r\n", std::nullopt},
                      ChunkCase{"fold_without_trailer", "0\r\n folded\r\n\r\n", std::nullopt},
                      ChunkCase{"final_cr_without_lf", "0\r\n\r\r\n", std::nullopt},
                      ChunkCase{"cut_in_data", "5\r\nhel", "cut"},
                      ChunkCase{"cut_before_final_line_end", "5\r\nhello\r\n0\r\n", "cut"},
                      ChunkCase{"cut_in_final_line_end", "0\r\n\r", "cut"},
                      ChunkCase{"nothing", "", "cut"}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    WellFormed, Chunked,
    ::testing::Values(ChunkCase{"plain", "5" + kTail, "hello"},
                      ChunkCase{"empty", "0\r\n\r\n", ""},
                      ChunkCase{"two_chunks", "3\r\nhel\r\n2\r\nlo\r\n0\r\n\r\n", "hello"},
                      ChunkCase{"upper_case_hex", "A\r\n0123456789\r\n0\r\n\r\n", "0123456789"},
                      ChunkCase{"leading_zeros", "0005\r\nhello\r\n000\r\n\r\n", "hello"},
                      ChunkCase{"sixteen_digits", "0000000000000005" + kTail, "hello"},
                      ChunkCase{"extensions", "5;a;b=c" + kTail, "hello"},
                      ChunkCase{"extensions_with_blanks", "5 ;\ta = b ; c\t=\t\"x y\";d" + kTail, "hello"},
                      ChunkCase{"quoted_with_escapes", "5;a=\"q\\\"\\\\\\ x\xff\"" + kTail, "hello"},
                      ChunkCase{"last_chunk_extension", "5\r\nhello\r\n0;end=\"1\"\r\n\r\n", "hello"},
                      ChunkCase{"trailers", "5\r\nhello\r\n0\r\nx-t: 1\r\nempty:\r\ny: a\t\xe9\r\n\r\n", "hello"},
                      ChunkCase{"folded_trailer", "5\r\nhello\r\n0\r\nx-t: 1\r\n  more\r\n\r\n", "hello"},
                      ChunkCase{"bare_lf_line_ends", "5\nhello\n0\nx: 1\n\n", "hello"},
                      ChunkCase{"framing_bytes_in_data", "7\r\n\r\n0\r\n\r\n\r\n0\r\n\r\n", "\r\n0\r\n\r\n"},
                      ChunkCase{"nul_and_high_bytes_in_data", std::string("3\r\n\0\xff\r\r\n0\r\n\r\n", 13),
                                std::string("\0\xff\r", 3)},
                      // Bytes after the final line end are no part of the body, and no fault.
                      ChunkCase{"byte_after_the_end", "5" + kTail + "X", "hello"},
                      ChunkCase{"crlf_after_the_end", "5" + kTail + "\r\n", "hello"},
                      ChunkCase{"reply_after_the_end", "5" + kTail + "HTTP/1.1 200 OK\r\ncontent-length: 2\r\n\r\nno",
                                "hello"},
                      ChunkCase{"broken_framing_after_the_end", "0\r\nx: 1\n\nzz\r\n\x01", ""}),
    case_name);

}  // namespace
