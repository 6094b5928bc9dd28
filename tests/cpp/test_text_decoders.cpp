// Each decoder's error handling: bad trail bytes, input ending inside a sequence, bytes the
// standard puts back. Every case also runs behind 1..31 ASCII bytes, which moves it across the
// word-at-a-time fast paths.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "text/Decode.h"

namespace qiv::text {
namespace {

using namespace std::string_literals;

struct Case {
    Encoding encoding;
    std::string input;
    std::string expected;  // UTF-8
};

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}

void PrintTo(const Case& c, std::ostream* os) { *os << "encoding " << int(c.encoding) << " input " << hex(c.input); }

const std::vector<Case> kCases = {
    // UTF-8: one U+FFFD per maximal subpart; the byte that breaks a sequence starts the next one.
    {Encoding::Utf8, "\xE2\x82\xAC", "\xE2\x82\xAC"},
    {Encoding::Utf8, "\xE2\x82", R},
    {Encoding::Utf8, "\xE2\x82" "A", R + "A"},
    {Encoding::Utf8, "\xF0\x9F\x98", R},
    {Encoding::Utf8, "\xF0\x80\x80", R + R + R},          // overlong: F0 needs 90..BF next
    {Encoding::Utf8, "\xE0\x9F\x80", R + R + R},
    {Encoding::Utf8, "\xED\xA0\x80", R + R + R},          // surrogate
    {Encoding::Utf8, "\xED\x9F\xBF", "\xED\x9F\xBF"},     // U+D7FF
    {Encoding::Utf8, "\xF4\x90\x80\x80", R + R + R + R},  // past U+10FFFF
    {Encoding::Utf8, "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
    {Encoding::Utf8, "\xC0\xAF", R + R},
    {Encoding::Utf8, "\xC1\xBF\xC2", R + R + R},
    {Encoding::Utf8, "\xF5\xF8\xFF", R + R + R},
    {Encoding::Utf8, "\x80\xBF", R + R},
    {Encoding::Utf8, "\xE1\x80\xE2\xF0\x91\x92\xF1\xBF\x41", R + R + R + R + "A"},
    // UTF-16: unpaired surrogates, a unit put back after a lone leading surrogate, odd length.
    {Encoding::Utf16Le, "A\0\xAC\x20"s, "A\xE2\x82\xAC"},
    {Encoding::Utf16Be, "\0A\x20\xAC"s, "A\xE2\x82\xAC"},
    {Encoding::Utf16Le, "\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
    {Encoding::Utf16Be, "\xD8\x3D\xDE\x00"s, "\xF0\x9F\x98\x80"},
    {Encoding::Utf16Le, "\x3D\xD8", R},
    {Encoding::Utf16Le, "\x3D\xD8" "A", R},  // a lone lead surrogate and an odd byte: one error
    {Encoding::Utf16Le, "\x3D\xD8" "A\0"s, R + "A"},
    {Encoding::Utf16Le, "\x3D\xD8\x3D\xD8\x00\xDE"s, R + "\xF0\x9F\x98\x80"},
    {Encoding::Utf16Be, "\xDE\x00" "\0A"s, R + "A"},
    {Encoding::Utf16Le, "A\0B"s, "A" + R},
    // Single-byte: a byte the index leaves unmapped is an error.
    {Encoding::Windows1252, "\x80\x81\xE9", "\xE2\x82\xAC\xC2\x81\xC3\xA9"},
    {Encoding::Iso8859_3, "\xA5\xA6", R + "\xC4\xA4"},
    {Encoding::XUserDefined, "a\x80\xFF", "a\xEF\x9E\x80\xEF\x9F\xBF"},
    {Encoding::Windows1252, "caf\xE9 cr\xE8" "me br\xFBl\xE9" "e, na\xEF" "ve soup\xE7" "on",  // lone high bytes
     "caf\xC3\xA9 cr\xC3\xA8" "me br\xC3\xBBl\xC3\xA9" "e, na\xC3\xAF" "ve soup\xC3\xA7" "on"},
    // gb18030 (and GBK): two- and four-byte forms, restored bytes, the ranges' edges.
    {Encoding::Gb18030, "\x81\x40", "\xE4\xB8\x82"},
    {Encoding::Gbk, "\x81\x41", "\xE4\xB8\x84"},
    {Encoding::Gb18030, "\x80\xFF", "\xE2\x82\xAC" + R},
    {Encoding::Gb18030, "\x81", R},
    {Encoding::Gb18030, "\x81 ", R + " "},
    {Encoding::Gb18030, "\x81\x7F", R + "\x7F"},
    {Encoding::Gb18030, "\x81\x30", R},
    {Encoding::Gb18030, "\x81\x30" "A", R + "0A"},
    {Encoding::Gb18030, "\x81\x30\x81", R},
    {Encoding::Gb18030, "\x81\x30\x81" "A", R + "0\xE4\xB8\x84"},
    {Encoding::Gb18030, "\x81\x30\x81\x30", "\xC2\x80"},
    {Encoding::Gb18030, "\x81\x35\xF4\x37", "\xEE\x9F\x87"},         // pointer 7457: U+E7C7
    {Encoding::Gb18030, "\x84\x31\xA4\x39", "\xEF\xBF\xBF"},         // pointer 39419: U+FFFF
    {Encoding::Gb18030, "\x84\x31\xA5\x30", R},                      // 39420: unmapped
    {Encoding::Gb18030, "\x8F\x39\xFE\x39", R},                      // 188999: unmapped
    {Encoding::Gb18030, "\x90\x30\x81\x30", "\xF0\x90\x80\x80"},     // 189000: U+10000
    {Encoding::Gb18030, "\xE3\x32\x9A\x35", "\xF4\x8F\xBF\xBF"},     // 1237575: U+10FFFF
    {Encoding::Gb18030, "\xE3\x32\x9A\x36", R},
    {Encoding::Gb18030, "\xFE\x39\xFE\x39", R},
    // Big5: the pointers that give two code points, plane-2 entries, bad pairs.
    {Encoding::Big5, "\x88\x62\x88\x64", "\xC3\x8A\xCC\x84\xC3\x8A\xCC\x8C"},
    {Encoding::Big5, "\x88\xA3\x88\xA5", "\xC3\xAA\xCC\x84\xC3\xAA\xCC\x8C"},
    {Encoding::Big5, "\x87\x40\x87\x45", "\xE4\x8F\xB0\xF0\xA7\x89\xA7"},
    {Encoding::Big5, "\xA1\x40", "\xE3\x80\x80"},
    {Encoding::Big5, "\x81" "A", R + "A"},  // pointer 1 is below the index
    {Encoding::Big5, "\xA1\x80", R},        // 80 is no trail byte, and not ASCII
    {Encoding::Big5, "\xA1", R},
    {Encoding::Big5, "\x80\xFF", R + R},
    // EUC-JP: katakana, the jis0212 prefix, bad pairs.
    {Encoding::EucJp, "\x8E\xA1\x8E\xDF", "\xEF\xBD\xA1\xEF\xBE\x9F"},
    {Encoding::EucJp, "\x8E\xE0", R},
    {Encoding::EucJp, "\x8E" "A", R + "A"},
    {Encoding::EucJp, "\xA4\xA2", "\xE3\x81\x82"},
    {Encoding::EucJp, "\x8F\xA2\xAF", "\xCB\x98"},
    {Encoding::EucJp, "\x8F\xA2\xAF\xA4\xA2", "\xCB\x98\xE3\x81\x82"},
    {Encoding::EucJp, "\x8F\xA1" "A\xA4\xA2", R + "A\xE3\x81\x82"},  // the jis0212 flag ends with the pair
    {Encoding::EucJp, "\x8F\xA1", R},
    {Encoding::EucJp, "\x8F" "A", R + "A"},
    {Encoding::EucJp, "\xA4", R},
    {Encoding::EucJp, "\x80\xFF", R + R},
    // ISO-2022-JP: escapes, the two-switches rule, bytes swallowed or put back as the standard says.
    {Encoding::Iso2022Jp, "\x1B$B\x24\x22\x1B(B", "\xE3\x81\x82"},
    {Encoding::Iso2022Jp, "\x1B$@\x24\x22\x1B(BA", "\xE3\x81\x82" "A"},
    {Encoding::Iso2022Jp, "\x1B(J\\~a\x1B(B\\~", "\xC2\xA5\xE2\x80\xBE" "a\\~"},
    {Encoding::Iso2022Jp, "\x1B(I\x21\x5F\x60", "\xEF\xBD\xA1\xEF\xBE\x9F" + R},
    {Encoding::Iso2022Jp, "\x1B(B\x1B(B", R},
    {Encoding::Iso2022Jp, "\x1B(BA\x1B(BB", "AB"},
    {Encoding::Iso2022Jp, "\x1B", R},
    {Encoding::Iso2022Jp, "\x1B" "A", R + "A"},
    {Encoding::Iso2022Jp, "\x1B(", R + "("},
    {Encoding::Iso2022Jp, "\x1B$A", R + "$A"},
    {Encoding::Iso2022Jp, "\x0E\x0F\x80", R + R + R},
    {Encoding::Iso2022Jp, "\x1B$B\x24", R},
    {Encoding::Iso2022Jp, "\x1B$B\x24\n", R},                  // a bad trail byte is consumed
    {Encoding::Iso2022Jp, "\x1B$B\x24\x1B(B", R},              // ESC for a trail byte is an error
    {Encoding::Iso2022Jp, "\x1B$B\x22\x2F", R},                // unmapped pointer
    {Encoding::Iso2022Jp, "\x1B$B\n", R},
    // Shift_JIS: user-defined area, katakana, bad pairs.
    {Encoding::ShiftJis, "\x82\xA0", "\xE3\x81\x82"},
    {Encoding::ShiftJis, "\x80\xA1\xDF", "\xC2\x80\xEF\xBD\xA1\xEF\xBE\x9F"},
    {Encoding::ShiftJis, "\xF0\x40\xF9\xFC", "\xEE\x80\x80\xEE\x9D\x97"},
    {Encoding::ShiftJis, "\x81", R},
    {Encoding::ShiftJis, "\x81 ", R + " "},
    {Encoding::ShiftJis, "\x81\xFD", R},
    {Encoding::ShiftJis, "\xA0\xFD\xFE\xFF", R + R + R + R},
    {Encoding::ShiftJis, "\xEF\x40", R + "@"},  // pointer inside the table's range but unmapped
    // EUC-KR.
    {Encoding::EucKr, "\xB0\xA1", "\xEA\xB0\x80"},
    {Encoding::EucKr, "\x81", R},
    {Encoding::EucKr, "\x81@", R + "@"},
    {Encoding::EucKr, "\xFE\xFE", R},
    {Encoding::EucKr, "\x80\xFF", R + R},
    // replacement: one U+FFFD for anything, nothing for nothing.
    {Encoding::Replacement, "abc\xFF", R},
    {Encoding::Replacement, "", ""},
};

class DecoderCase : public ::testing::TestWithParam<Case> {};

TEST_P(DecoderCase, DecodesAsTheStandardBehindAnyAsciiPrefix) {
    const Case& c = GetParam();
    for (std::size_t pad = 0; pad < 32; ++pad) {
        const std::string prefix(pad, 'x');
        if (c.encoding == Encoding::Replacement && (pad > 0 || !c.input.empty())) {
            EXPECT_EQ(decode_without_bom(prefix + c.input, c.encoding), R);
            continue;
        }
        if (c.encoding == Encoding::Utf16Le || c.encoding == Encoding::Utf16Be) {
            // Two bytes per ASCII character.
            std::string wide;
            for (char ch : prefix) {
                wide += c.encoding == Encoding::Utf16Le ? std::string{ch, '\0'} : std::string{'\0', ch};
            }
            EXPECT_EQ(hex(decode_without_bom(wide + c.input, c.encoding)), hex(prefix + c.expected)) << "pad " << pad;
            continue;
        }
        EXPECT_EQ(hex(decode_without_bom(prefix + c.input, c.encoding)), hex(prefix + c.expected)) << "pad " << pad;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DecoderCase, ::testing::ValuesIn(kCases));

// Inputs that grow threefold or more: the output outgrows every decoder's first estimate and
// crosses its staging buffer many times.
TEST(Decoder, LongOutputsGrowIntact) {
    const std::vector<Case> units = {
        {Encoding::Utf8, "\xFF", R},
        {Encoding::Utf8, "\xF0\x9F\x98\x80" "a", "\xF0\x9F\x98\x80" "a"},
        {Encoding::Utf16Le, "\x00\xDC"s, R},
        {Encoding::Windows874, "\xA1", "\xE0\xB8\x81"},
        {Encoding::XUserDefined, "\x80", "\xEF\x9E\x80"},
        {Encoding::Gb18030, "\xFF", R},
        {Encoding::Gb18030, "\x90\x30\x81\x30", "\xF0\x90\x80\x80"},
        {Encoding::Big5, "\x88\x62", "\xC3\x8A\xCC\x84"},
        {Encoding::EucJp, "\x8E\xA1", "\xEF\xBD\xA1"},
        {Encoding::Iso2022Jp, "\x0E", R},
        {Encoding::ShiftJis, "\xA1", "\xEF\xBD\xA1"},
        {Encoding::EucKr, "\xFF", R},
    };
    for (const Case& unit : units) {
        std::string input, expected;
        for (int k = 0; k < 40000; ++k) {
            input += unit.input;
            expected += unit.expected;
        }
        EXPECT_TRUE(decode_without_bom(input, unit.encoding) == expected) << hex(unit.input);
    }
}

// The UTF-8 decoder's handler, step by step as the standard writes it: the model the fast
// decoder (DFA, word-at-a-time ASCII, chunked copies) must agree with.
std::string reference_utf8(const std::string& input) {
    std::string out;
    unsigned code_point = 0, bytes_seen = 0, bytes_needed = 0, lower = 0x80, upper = 0xBF;
    auto emit = [&out](unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    };
    for (std::size_t i = 0; i <= input.size(); ++i) {
        if (i == input.size()) {
            if (bytes_needed != 0) out += R;
            break;
        }
        const unsigned byte = static_cast<unsigned char>(input[i]);
        if (bytes_needed == 0) {
            if (byte <= 0x7F) {
                emit(byte);
            } else if (byte >= 0xC2 && byte <= 0xDF) {
                bytes_needed = 1, code_point = byte & 0x1F;
            } else if (byte >= 0xE0 && byte <= 0xEF) {
                if (byte == 0xE0) lower = 0xA0;
                if (byte == 0xED) upper = 0x9F;
                bytes_needed = 2, code_point = byte & 0xF;
            } else if (byte >= 0xF0 && byte <= 0xF4) {
                if (byte == 0xF0) lower = 0x90;
                if (byte == 0xF4) upper = 0x8F;
                bytes_needed = 3, code_point = byte & 0x7;
            } else {
                out += R;
            }
            continue;
        }
        if (byte < lower || byte > upper) {
            code_point = bytes_needed = bytes_seen = 0, lower = 0x80, upper = 0xBF;
            --i;  // restore the byte
            out += R;
            continue;
        }
        lower = 0x80, upper = 0xBF;
        code_point = (code_point << 6) | (byte & 0x3F);
        if (++bytes_seen != bytes_needed) continue;
        emit(code_point);
        code_point = bytes_needed = bytes_seen = 0;
    }
    return out;
}

TEST(Utf8Decoder, AgreesWithTheStandardsHandlerOnMixedInput) {
    // Mostly well-formed text of every sequence length, with errors at varying density, in
    // lengths that cross the 16-byte blocks and the 64 KiB copy chunks.
    const std::vector<std::string> pieces = {"a", "plain ascii text ", "\xC3\xA9", "\xD0\xB6", "\xE4\xB8\xAD",
                                             "\xEF\xBF\xBD", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"};
    const std::vector<std::string> faults = {"\x80", "\xBF", "\xC0", "\xC2", "\xE0\x80", "\xE0\xA0", "\xED\xA0",
                                             "\xF0\x8F", "\xF0\x90\x80", "\xF4\x90", "\xF5", "\xFF", "\xE2\x82"};
    std::mt19937 rng(20240607);
    for (int round = 0; round < 400; ++round) {
        const std::size_t length = round < 390 ? rng() % 600 : 70000 + rng() % 70000;
        const unsigned fault_per_mille = std::vector<unsigned>{0, 2, 20, 200}[round % 4];
        std::string input;
        while (input.size() < length) {
            input += rng() % 1000 < fault_per_mille ? faults[rng() % faults.size()] : pieces[rng() % pieces.size()];
        }
        if (rng() % 3 == 0) input.pop_back();  // may cut the last sequence short
        ASSERT_EQ(decode_without_bom(input, Encoding::Utf8), reference_utf8(input)) << "round " << round;
    }
}

TEST(Utf8Decoder, AgreesWithTheStandardsHandlerOnEveryShortSequence) {
    // Every one- and two-byte input, and every three-byte one over the bytes where the
    // boundaries of the standard's ranges lie.
    const std::vector<unsigned char> edges = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                              0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3,
                                              0xF4, 0xF5, 0xFF};
    for (unsigned a = 0; a < 256; ++a) {
        for (unsigned b = 0; b < 256; ++b) {
            const std::string input{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(decode_without_bom(input, Encoding::Utf8), reference_utf8(input)) << hex(input);
        }
    }
    for (unsigned char a : edges) {
        for (unsigned char b : edges) {
            for (unsigned char c : edges) {
                for (unsigned char d : std::vector<unsigned char>{0x41, 0x80, 0xBF}) {
                    const std::string input{char(a), char(b), char(c), char(d)};
                    ASSERT_EQ(decode_without_bom(input, Encoding::Utf8), reference_utf8(input)) << hex(input);
                }
            }
        }
    }
}

}  // namespace
}  // namespace qiv::text
