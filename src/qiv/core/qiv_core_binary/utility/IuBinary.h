// The little-endian stream primitives every binary record is made of.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/Result.h"

namespace qiv {

enum class CodecErrorKind {
    UnexpectedEof,  // "failed to fill whole buffer"
    InvalidData,    // "Invalid UTF-8"
    InvalidInput,   // a text too long for its 31-bit count
};

struct CodecError {
    CodecErrorKind kind;
    std::string message;
};

using CodecStatus = Result<Unit, CodecError>;

// A read-only view of the input with a position; the input must outlive it.
struct ByteCursor {
    const uint8_t* data;
    uint64_t length;
    uint64_t position = 0;

    ByteCursor(const uint8_t* bytes, uint64_t size) : data(bytes), length(size) {}
    uint64_t remaining() const noexcept { return position < length ? length - position : 0; }
};

// Writers append to the caller's vector, each under the process-wide codec lock.
CodecStatus write_i64(int64_t value, std::vector<uint8_t>& out);
CodecStatus write_bool(bool value, std::vector<uint8_t>& out);
CodecStatus write_string(std::string_view value, std::vector<uint8_t>& out);
CodecStatus write_string_unlocked(std::string_view value, std::vector<uint8_t>& out);

Result<int64_t, CodecError> read_i64(ByteCursor& cursor);
Result<bool, CodecError> read_bool(ByteCursor& cursor);
Result<std::string, CodecError> read_string(ByteCursor& cursor);

CodecError invalid_utf8_error();

}  // namespace qiv
