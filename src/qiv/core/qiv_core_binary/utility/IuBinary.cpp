#include "qiv/core/qiv_core_binary/utility/IuBinary.h"

#include <cstring>
#include <limits>
#include <mutex>

#include "support/Panic.h"
#include "text/Utf8Decoder.h"

namespace qiv {

namespace {

// One lock for every primitive write, poisoned for good by a panic that passes through it.
struct CodecLock {
    std::mutex mutex;
    bool poisoned = false;
};

CodecLock& codec_lock() {
    static CodecLock* lock = new CodecLock;  // created once, never destroyed
    return *lock;
}

template <class F>
CodecStatus locked(F&& append) {
    CodecLock& lock = codec_lock();
    std::lock_guard hold(lock.mutex);
    if (lock.poisoned) panic("called `Result::unwrap()` on an `Err` value: PoisonError { .. }");
    try {
        return append();
    } catch (const Panic&) {
        lock.poisoned = true;
        throw;
    }
}

void append(std::vector<uint8_t>& out, const void* bytes, size_t n) {
    if (n > out.max_size() - out.size()) panic("capacity overflow");
    auto* p = static_cast<const uint8_t*>(bytes);
    out.insert(out.end(), p, p + n);
}

void append_le32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    append(out, b, 4);
}

const CodecError& unexpected_eof() {
    static const CodecError error{CodecErrorKind::UnexpectedEof, "failed to fill whole buffer"};
    return error;
}

}  // namespace

CodecError invalid_utf8_error() { return {CodecErrorKind::InvalidData, "Invalid UTF-8"}; }

CodecStatus write_i64(int64_t value, std::vector<uint8_t>& out) {
    return locked([&]() -> CodecStatus {
        auto v = static_cast<uint64_t>(value);
        uint8_t b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
        append(out, b, 8);
        return Unit{};
    });
}

CodecStatus write_bool(bool value, std::vector<uint8_t>& out) {
    return locked([&]() -> CodecStatus {
        uint8_t b = value ? 1 : 0;
        append(out, &b, 1);
        return Unit{};
    });
}

CodecStatus write_string(std::string_view value, std::vector<uint8_t>& out) {
    return locked([&] { return write_string_unlocked(value, out); });
}

CodecStatus write_string_unlocked(std::string_view value, std::vector<uint8_t>& out) {
    if (value.empty()) {
        append_le32(out, 0xFFFFFFFFu);
        return Unit{};
    }
    // The reader takes the count as signed 32 bits: a longer text could never be read back.
    if (value.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        return CodecError{CodecErrorKind::InvalidInput, "text too long to encode"};
    }
    append_le32(out, static_cast<uint32_t>(value.size()));
    append(out, value.data(), value.size());
    return Unit{};
}

Result<int64_t, CodecError> read_i64(ByteCursor& cursor) {
    if (cursor.remaining() < 8) return unexpected_eof();
    uint64_t v = 0;
    const uint8_t* p = cursor.data + cursor.position;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    cursor.position += 8;
    return static_cast<int64_t>(v);
}

Result<bool, CodecError> read_bool(ByteCursor& cursor) {
    if (cursor.remaining() < 1) return unexpected_eof();
    return cursor.data[cursor.position++] != 0;
}

Result<std::string, CodecError> read_string(ByteCursor& cursor) {
    if (cursor.remaining() < 4) return unexpected_eof();
    const uint8_t* p = cursor.data + cursor.position;
    auto count = static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
    cursor.position += 4;
    if (count == -1 || count == 0) return std::string();
    if (count < -1) panic("capacity overflow");
    // Checked before anything is reserved, so a large count in a short input costs nothing.
    if (static_cast<uint64_t>(count) > cursor.remaining()) return unexpected_eof();
    std::string_view bytes(reinterpret_cast<const char*>(cursor.data + cursor.position), static_cast<size_t>(count));
    cursor.position += static_cast<uint64_t>(count);
    if (!text::is_valid_utf8(bytes)) return invalid_utf8_error();
    return std::string(bytes);
}

}  // namespace qiv
