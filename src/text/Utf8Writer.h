// The decoders' output: UTF-8 bytes gathered in a small staging buffer and appended to a
// std::string whose capacity is reserved up front, so no byte of it is written twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace qiv::text {

class Utf8Writer {
public:
    static constexpr std::size_t kStageSize = 8192;

    // expected_size: the output size the decoder expects; reserving it makes regrowth rare.
    explicit Utf8Writer(std::size_t expected_size) { out_.reserve(expected_size); }
    // cur_ points into this object.
    Utf8Writer(const Utf8Writer&) = delete;
    Utf8Writer& operator=(const Utf8Writer&) = delete;

    // cp is a scalar value (never a surrogate): every decoder emits only those.
    void push(char32_t cp) {
        char* p = cur_;
        if (stage_ + kStageSize - p < 4) p = flush();
        if (cp < 0x80) {
            p[0] = static_cast<char>(cp);
            cur_ = p + 1;
        } else if (cp < 0x800) {
            p[0] = static_cast<char>(0xC0 | (cp >> 6));
            p[1] = static_cast<char>(0x80 | (cp & 0x3F));
            cur_ = p + 2;
        } else if (cp < 0x10000) {
            p[0] = static_cast<char>(0xE0 | (cp >> 12));
            p[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            p[2] = static_cast<char>(0x80 | (cp & 0x3F));
            cur_ = p + 3;
        } else {
            p[0] = static_cast<char>(0xF0 | (cp >> 18));
            p[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            p[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            p[3] = static_cast<char>(0x80 | (cp & 0x3F));
            cur_ = p + 4;
        }
    }

    // U+FFFD, what an error becomes in replacement mode.
    void push_replacement() { append("\xEF\xBF\xBD", 3); }

    // Runs from this length on go straight to the string: copying them twice costs more than a flush.
    static constexpr std::size_t kDirectRun = 256;

    void append(const void* bytes, std::size_t n) {
        if (n < kDirectRun && static_cast<std::size_t>(stage_ + kStageSize - cur_) >= n) {
            std::memcpy(cur_, bytes, n);
            cur_ += n;
        } else {
            append_long(bytes, n);
        }
    }

    // Room for n <= kStageSize bytes at the returned pointer; commit() says how far they were written.
    char* reserve(std::size_t n) {
        if (static_cast<std::size_t>(stage_ + kStageSize - cur_) < n) return flush();
        return cur_;
    }
    void commit(char* end) { cur_ = end; }

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
