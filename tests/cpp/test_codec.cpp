// Codec internals that Python cannot reach: cursor positions, the long-text refusal, digests.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <vector>

#include "qiv/core/qiv_core_binary/utility/IuBinary.h"
#include "qiv/entity/EObject.h"
#include "support/Panic.h"

using namespace qiv;

namespace {

ByteCursor cursor_over(const std::vector<uint8_t>& v) { return ByteCursor(v.data(), v.size()); }

}  // namespace

TEST(Codec, ShortReadsLeaveThePositionAlone) {
    std::vector<uint8_t> three{1, 2, 3}, seven(7, 0);
    auto c3 = cursor_over(three);
    EXPECT_EQ(read_string(c3).error().message, "failed to fill whole buffer");
    EXPECT_EQ(c3.position, 0u);
    auto c7 = cursor_over(seven);
    EXPECT_EQ(read_i64(c7).error().kind, CodecErrorKind::UnexpectedEof);
    EXPECT_EQ(c7.position, 0u);
}

TEST(Codec, MissingTextBytesLeaveThePositionPastTheCount) {
    std::vector<uint8_t> v{5, 0, 0, 0, 'a', 'b'};
    auto c = cursor_over(v);
    EXPECT_FALSE(read_string(c));
    EXPECT_EQ(c.position, 4u);
}

TEST(Codec, InvalidTextMovesPastIt) {
    for (std::vector<uint8_t> v : {std::vector<uint8_t>{2, 0, 0, 0, 0xC3, 0x28}, {3, 0, 0, 0, 0xED, 0xA0, 0x80}}) {
        auto c = cursor_over(v);
        auto r = read_string(c);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error().kind, CodecErrorKind::InvalidData);
        EXPECT_EQ(r.error().message, "Invalid UTF-8");
        EXPECT_EQ(c.position, v.size());
    }
}

TEST(Codec, TextFillingTheInputLeavesNothing) {
    std::vector<uint8_t> v{2, 0, 0, 0, 'h', 'i'};
    auto c = cursor_over(v);
    EXPECT_EQ(read_string(c).value(), "hi");
    EXPECT_EQ(read_bool(c).error().message, "failed to fill whole buffer");
}

TEST(Codec, NegativeCountsPanicWhateverFollows) {
    for (uint8_t top : {uint8_t{0x80}, uint8_t{0xFE}}) {
        std::vector<uint8_t> v{0xFE, 0xFF, 0xFF, top};
        auto c = cursor_over(v);
        EXPECT_THROW((void)read_string(c), Panic);
    }
}

TEST(Codec, IntegersAreLittleEndianTwosComplement) {
    std::vector<uint8_t> out;
    ASSERT_TRUE(write_i64(INT64_MIN, out));
    ASSERT_TRUE(write_i64(1, out));
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0x80, 1, 0, 0, 0, 0, 0, 0, 0}));
    auto c = cursor_over(out);
    EXPECT_EQ(read_i64(c).value(), INT64_MIN);
    EXPECT_EQ(read_i64(c).value(), 1);
}

// A text whose count would not fit the reader's signed 32 bits is refused instead of being
// written with a truncated count. The view covers untouched anonymous memory, so it costs no RAM.
TEST(Codec, TextTooLongToEncode) {
    const size_t size = size_t{1} << 31;
    void* p = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(p, MAP_FAILED);
    std::vector<uint8_t> out{7};
    auto r = write_string(std::string_view(static_cast<const char*>(p), size), out);
    munmap(p, size);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, CodecErrorKind::InvalidInput);
    EXPECT_EQ(r.error().message, "text too long to encode");
    EXPECT_EQ(out, std::vector<uint8_t>{7});
}

TEST(EObjectTest, Sha256KnownAnswers) {
    EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(EObjectTest, WritesIdThenTime) {
    std::vector<uint8_t> out;
    ASSERT_TRUE(eobject_write(EObject{"", 42}, out));
    EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 42, 0, 0, 0, 0, 0, 0, 0}));
}
