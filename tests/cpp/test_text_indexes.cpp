// Every pointer of every index, read from the standard's own index files at run time: its bytes
// decode to its code point, and a pointer the index leaves out decodes to U+FFFD, followed by
// the trail byte when that byte is ASCII (the standard puts it back).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "text/Decode.h"

namespace qiv::text {
namespace {

using Index = std::map<std::uint32_t, char32_t>;

Index read_index(const std::string& stem) {
    std::ifstream file(std::string(QIV_SOURCE_DIR) + "/data/whatwg-encoding/index-" + stem + ".txt");
    EXPECT_TRUE(file) << "index-" << stem << ".txt";
    Index index;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string pointer, code_point;
        std::getline(fields, pointer, '\t');
        std::getline(fields, code_point, '\t');
        index[static_cast<std::uint32_t>(std::stoul(pointer))] =
            static_cast<char32_t>(std::stoul(code_point, nullptr, 16));
    }
    return index;
}

std::string utf8(char32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
    } else if (cp < 0x10000) {
        out += {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                static_cast<char>(0x80 | (cp & 0x3F))};
    } else {
        out += {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
    }
    return out;
}

const std::string kReplacement = "\xEF\xBF\xBD";

// What a two-byte sequence whose pointer the index lacks decodes to.
std::string unmapped(unsigned char trail) {
    return trail < 0x80 ? kReplacement + static_cast<char>(trail) : kReplacement;
}

// Decodes bytes behind a varying ASCII prefix and counts mismatches, reporting the first few.
class Sweep {
public:
    Sweep(Encoding encoding, std::string what) : encoding_(encoding), what_(std::move(what)) {}
    void check(std::uint32_t pointer, const std::string& bytes, const std::string& expected) {
        const std::string prefix(pointer % 19, '.');
        if (decode_without_bom(prefix + bytes, encoding_) != prefix + expected && ++failures_ <= 5) {
            ADD_FAILURE() << what_ << ": pointer " << pointer << " decodes wrongly";
        }
        ++checked_;
    }
    ~Sweep() {
        EXPECT_EQ(failures_, 0u) << what_;
        EXPECT_GT(checked_, 0u) << what_;
    }

private:
    Encoding encoding_;
    std::string what_;
    std::size_t failures_ = 0;
    std::size_t checked_ = 0;
};

std::string bytes(unsigned a, unsigned b) { return {static_cast<char>(a), static_cast<char>(b)}; }

struct SingleByte {
    Encoding encoding;
    const char* index;
};

class SingleByteIndex : public ::testing::TestWithParam<SingleByte> {};

TEST_P(SingleByteIndex, EveryByteDecodesToItsCodePoint) {
    const Index index = read_index(GetParam().index);
    Sweep sweep(GetParam().encoding, GetParam().index);
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::string expected;
        if (byte < 0x80) {
            expected = std::string(1, static_cast<char>(byte));
        } else {
            auto it = index.find(byte - 0x80);
            expected = it == index.end() ? kReplacement : utf8(it->second);
        }
        sweep.check(byte, std::string(1, static_cast<char>(byte)), expected);
    }
    // All of them in one run, through the word-at-a-time path.
    std::string all, expected;
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        all += static_cast<char>(byte);
        expected += decode_without_bom(std::string(1, static_cast<char>(byte)), GetParam().encoding);
    }
    EXPECT_EQ(decode_without_bom(all, GetParam().encoding), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Standard, SingleByteIndex,
    ::testing::Values(SingleByte{Encoding::Ibm866, "ibm866"}, SingleByte{Encoding::Iso8859_2, "iso-8859-2"},
                      SingleByte{Encoding::Iso8859_3, "iso-8859-3"}, SingleByte{Encoding::Iso8859_4, "iso-8859-4"},
                      SingleByte{Encoding::Iso8859_5, "iso-8859-5"}, SingleByte{Encoding::Iso8859_6, "iso-8859-6"},
                      SingleByte{Encoding::Iso8859_7, "iso-8859-7"}, SingleByte{Encoding::Iso8859_8, "iso-8859-8"},
                      SingleByte{Encoding::Iso8859_8I, "iso-8859-8"}, SingleByte{Encoding::Iso8859_10, "iso-8859-10"},
                      SingleByte{Encoding::Iso8859_13, "iso-8859-13"}, SingleByte{Encoding::Iso8859_14, "iso-8859-14"},
                      SingleByte{Encoding::Iso8859_15, "iso-8859-15"}, SingleByte{Encoding::Iso8859_16, "iso-8859-16"},
                      SingleByte{Encoding::Koi8R, "koi8-r"}, SingleByte{Encoding::Koi8U, "koi8-u"},
                      SingleByte{Encoding::Macintosh, "macintosh"}, SingleByte{Encoding::Windows874, "windows-874"},
                      SingleByte{Encoding::Windows1250, "windows-1250"}, SingleByte{Encoding::Windows1251, "windows-1251"},
                      SingleByte{Encoding::Windows1252, "windows-1252"}, SingleByte{Encoding::Windows1253, "windows-1253"},
                      SingleByte{Encoding::Windows1254, "windows-1254"}, SingleByte{Encoding::Windows1255, "windows-1255"},
                      SingleByte{Encoding::Windows1256, "windows-1256"}, SingleByte{Encoding::Windows1257, "windows-1257"},
                      SingleByte{Encoding::Windows1258, "windows-1258"},
                      SingleByte{Encoding::XMacCyrillic, "x-mac-cyrillic"}),
    [](const auto& param_info) {
        std::string name = param_info.param.index;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name + "_" + std::to_string(param_info.index);
    });

TEST(MultiByteIndex, Jis0208ThroughShiftJis) {
    const Index index = read_index("jis0208");
    Sweep sweep(Encoding::ShiftJis, "Shift_JIS");
    // Every lead (81..9F, E0..FC) with every trail (40..7E, 80..FC).
    for (std::uint32_t pointer = 0; pointer < 60 * 188; ++pointer) {
        const unsigned row = pointer / 188, cell = pointer % 188;
        const unsigned lead = row + (row < 0x1F ? 0x81 : 0xC1), trail = cell + (cell < 0x3F ? 0x40 : 0x41);
        std::string expected;
        if (pointer >= 8836 && pointer <= 10715) {
            expected = utf8(0xE000 + (pointer - 8836));  // the user-defined area
        } else {
            auto it = index.find(pointer);
            expected = it == index.end() ? unmapped(static_cast<unsigned char>(trail)) : utf8(it->second);
        }
        sweep.check(pointer, bytes(lead, trail), expected);
    }
}

TEST(MultiByteIndex, Jis0208AndJis0212ThroughEucJp) {
    const Index jis0208 = read_index("jis0208");
    const Index jis0212 = read_index("jis0212");
    Sweep sweep(Encoding::EucJp, "EUC-JP");
    for (std::uint32_t pointer = 0; pointer < 94 * 94; ++pointer) {
        const std::string pair = bytes(pointer / 94 + 0xA1, pointer % 94 + 0xA1);
        auto in0208 = jis0208.find(pointer);
        auto in0212 = jis0212.find(pointer);
        sweep.check(pointer, pair, in0208 == jis0208.end() ? kReplacement : utf8(in0208->second));
        sweep.check(pointer, "\x8F" + pair, in0212 == jis0212.end() ? kReplacement : utf8(in0212->second));
    }
}

TEST(MultiByteIndex, Jis0208ThroughIso2022Jp) {
    const Index index = read_index("jis0208");
    Sweep sweep(Encoding::Iso2022Jp, "ISO-2022-JP");
    for (std::uint32_t pointer = 0; pointer < 94 * 94; ++pointer) {
        auto it = index.find(pointer);
        sweep.check(pointer, "\x1B$B" + bytes(pointer / 94 + 0x21, pointer % 94 + 0x21) + "\x1B(B",
                    it == index.end() ? kReplacement : utf8(it->second));
    }
}

TEST(MultiByteIndex, EucKr) {
    const Index index = read_index("euc-kr");
    Sweep sweep(Encoding::EucKr, "EUC-KR");
    // Leads 81..FE with trails 41..FE, past the end of the index.
    for (std::uint32_t pointer = 0; pointer < 126 * 190; ++pointer) {
        const unsigned trail = pointer % 190 + 0x41;
        auto it = index.find(pointer);
        sweep.check(pointer, bytes(pointer / 190 + 0x81, trail),
                    it == index.end() ? unmapped(static_cast<unsigned char>(trail)) : utf8(it->second));
    }
}

TEST(MultiByteIndex, Gb18030TwoByte) {
    const Index index = read_index("gb18030");
    for (Encoding encoding : {Encoding::Gb18030, Encoding::Gbk}) {
        Sweep sweep(encoding, "gb18030 two-byte");
        for (std::uint32_t pointer = 0; pointer < 126 * 190; ++pointer) {
            const unsigned cell = pointer % 190, trail = cell + (cell < 0x3F ? 0x40 : 0x41);
            auto it = index.find(pointer);
            sweep.check(pointer, bytes(pointer / 190 + 0x81, trail),
                        it == index.end() ? unmapped(static_cast<unsigned char>(trail)) : utf8(it->second));
        }
    }
}

std::string four_bytes(std::uint32_t pointer) {
    std::string out(4, '\0');
    out[3] = static_cast<char>(0x30 + pointer % 10);
    pointer /= 10;
    out[2] = static_cast<char>(0x81 + pointer % 126);
    pointer /= 126;
    out[1] = static_cast<char>(0x30 + pointer % 10);
    out[0] = static_cast<char>(0x81 + pointer / 10);
    return out;
}

TEST(MultiByteIndex, Gb18030Ranges) {
    const Index ranges = read_index("gb18030-ranges");
    Sweep sweep(Encoding::Gb18030, "gb18030 ranges");
    // Each range maps its pointers in order onto code points: check both ends of every range.
    for (auto it = ranges.begin(); it != ranges.end(); ++it) {
        auto next = std::next(it);
        std::uint32_t last = next != ranges.end() ? next->first - 1 : it->first + (0x10FFFF - it->second);
        if (last > 39419 && last < 189000) last = 39419;  // the BMP ranges end there
        for (std::uint32_t pointer : {it->first, last}) {
            if (pointer == 7457 || (pointer > 39419 && pointer < 189000)) continue;  // checked below
            sweep.check(pointer, four_bytes(pointer), utf8(it->second + (pointer - it->first)));
        }
    }
    // The single exception, and the gaps on both sides of the BMP ranges' end.
    sweep.check(7457, four_bytes(7457), utf8(0xE7C7));
    for (std::uint32_t pointer : {39420u, 100000u, 188999u, 1237576u, 1587599u}) {
        sweep.check(pointer, four_bytes(pointer), kReplacement);
    }
}

TEST(MultiByteIndex, Big5) {
    const Index index = read_index("big5");
    const std::map<std::uint32_t, std::string> pairs = {{1133, "\xC3\x8A\xCC\x84"},
                                                         {1135, "\xC3\x8A\xCC\x8C"},
                                                         {1164, "\xC3\xAA\xCC\x84"},
                                                         {1166, "\xC3\xAA\xCC\x8C"}};
    Sweep sweep(Encoding::Big5, "Big5");
    for (std::uint32_t pointer = 0; pointer < 126 * 157; ++pointer) {
        const unsigned cell = pointer % 157, trail = cell + (cell < 0x3F ? 0x40 : 0x62);
        std::string expected;
        if (auto pair = pairs.find(pointer); pair != pairs.end()) {
            expected = pair->second;
        } else {
            auto it = index.find(pointer);
            expected = it == index.end() ? unmapped(static_cast<unsigned char>(trail)) : utf8(it->second);
        }
        sweep.check(pointer, bytes(pointer / 157 + 0x81, trail), expected);
    }
}

}  // namespace
}  // namespace qiv::text
