// The decoders' output: UTF-8 bytes gathered in a small staging buffer and appended to a
// std::string whose capacity is reserved up front, so the string is never zero-filled first
// (C++20 has no way to size a string without writing it) and rarely regrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace qiv::text {

class Utf8Writer {
public:
    static constexpr std::size_t kStageSize = 8192;
    // Runs from this length on go straight to the string: copying them twice costs more than a flush.
    static constexpr std::size_t kDirectRun = 256;

    // expected_size: the output size the decoder expects; reserving it makes regrowth rare.
    explicit Utf8Writer(std::size_t expected_size) { out_.reserve(expected_size); }
    // cur_ points into this object.
    Utf8Writer(const Utf8Writer&) = delete;
    Utf8Writer& operator=(const Utf8Writer&) = delete;

    // Hot loops keep the write position in a local variable, which the compiler can hold in a
    // register (a member written next to char stores has to go back to memory each time):
    //   char* p = out.begin(); ... p = out.ensure(p, 8); p = put(p, cp); ... out.end(p);
    // Between begin() and end() only ensure(), put_run() and the static put functions write.
    char* begin() { return cur_; }
    void end(char* p) { cur_ = p; }

    // p, or the start of the emptied staging buffer: either way with room for n <= kStageSize bytes.
    char* ensure(char* p, std::size_t n) {
        if (static_cast<std::size_t>(stage_ + kStageSize - p) >= n) return p;
        cur_ = p;
        return flush();
    }

    char* put_run(char* p, const void* bytes, std::size_t n) {
        cur_ = p;
        append(bytes, n);
        return cur_;
    }

    // cp is a scalar value (never a surrogate): every decoder emits only those. Writes 1 to 4 bytes.
    static char* put(char* p, char32_t cp) {
        if (cp < 0x80) {
            p[0] = static_cast<char>(cp);
            return p + 1;
        }
        if (cp < 0x800) {
            p[0] = static_cast<char>(0xC0 | (cp >> 6));
            p[1] = static_cast<char>(0x80 | (cp & 0x3F));
            return p + 2;
        }
        if (cp < 0x10000) {
            p[0] = static_cast<char>(0xE0 | (cp >> 12));
            p[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            p[2] = static_cast<char>(0x80 | (cp & 0x3F));
            return p + 3;
        }
        p[0] = static_cast<char>(0xF0 | (cp >> 18));
        p[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        p[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        p[3] = static_cast<char>(0x80 | (cp & 0x3F));
        return p + 4;
    }

    // U+FFFD, what an error becomes in replacement mode. Writes 3 bytes.
    static char* put_replacement(char* p) {
        std::memcpy(p, "\xEF\xBF\xBD", 3);
        return p + 3;
    }

    void push(char32_t cp) { cur_ = put(ensure(cur_, 4), cp); }
    void push_replacement() { cur_ = put_replacement(ensure(cur_, 3)); }

    void append(const void* bytes, std::size_t n) {
        if (n < kDirectRun && static_cast<std::size_t>(stage_ + kStageSize - cur_) >= n) {
            std::memcpy(cur_, bytes, n);
            cur_ += n;
        } else {
            append_long(bytes, n);
        }
    }

    std::string finish() && {
        flush();
        return std::move(out_);
    }

private:
    char* flush();
    void append_long(const void* bytes, std::size_t n);

    std::string out_;
    char* cur_ = stage_;
    char stage_[kStageSize];
};

}  // namespace qiv::text
