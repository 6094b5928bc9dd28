// The base of the entity records: an identifier and a creation time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qiv/core/qiv_core_binary/utility/IuBinary.h"

namespace qiv {

struct EObject {
    std::string id;
    int64_t time = 0;  // seconds since the Unix epoch, UTC
};

// A fresh identifier: the SHA-256 of the clock in nanoseconds followed by a process-wide counter.
std::string generate_id();

// Lower-case hexadecimal SHA-256 of the data.
std::string sha256_hex(std::string_view data);

// The current time as seconds and as nanoseconds since the epoch; panics before 1970.
struct UnixTime {
    int64_t seconds;
    uint32_t nanos;
};
UnixTime unix_now();

void eobject_fmt_debug(const EObject& record, std::string& out);

// Reads id and time, then logs them.
Result<EObject, CodecError> eobject_read(ByteCursor& cursor);
CodecStatus eobject_write(const EObject& record, std::vector<uint8_t>& out);

}  // namespace qiv
