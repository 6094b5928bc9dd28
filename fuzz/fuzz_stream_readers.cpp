// The stream primitives read from arbitrary bytes, in an order the input picks; every text that
// comes back must be well-formed UTF-8 and write back to the bytes it was read from.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "qiv/core/qiv_core_binary/utility/IuBinary.h"
#include "support/Panic.h"
#include "text/Utf8Decoder.h"
#include "text/Decode.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// The UTF-8 check and the UTF-8 decoder must agree on every input.
void check_validators_agree(const std::string& bytes) {
    const bool valid = qiv::text::is_valid_utf8(bytes);
    // The decoder's output is well-formed, so it equals its input exactly when that was.
    check(valid == (qiv::text::decode_without_bom(bytes, qiv::text::Encoding::Utf8) == bytes));
}

void read_one(qiv::ByteCursor& cursor, std::uint8_t op) {
    const std::uint64_t before = cursor.position;
    switch (op % 3) {
    case 0: {
        auto v = qiv::read_i64(cursor);
        check(v.ok() ? cursor.position == before + 8 : cursor.position == before);
        break;
    }
    case 1: {
        auto v = qiv::read_bool(cursor);
        check(v.ok() ? cursor.position == before + 1 : cursor.position == before);
        break;
    }
    default: {
        std::uint64_t start = cursor.position;
        auto v = qiv::read_string(cursor);
        if (!v.ok()) break;
        const std::string& s = v.value();
        check(qiv::text::is_valid_utf8(s));
        // A non-empty text writes back to exactly the bytes it was read from.
        if (!s.empty()) {
            std::vector<std::uint8_t> out;
            check(qiv::write_string(s, out).ok());
            check(out.size() == cursor.position - start);
            check(std::equal(out.begin(), out.end(), cursor.data + start));
        }
        break;
    }
    }
    check(cursor.position <= cursor.length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte says how many of the next bytes are operations; the rest is the stream.
    if (size == 0) return 0;
    const std::size_t op_count = std::min<std::size_t>(data[0] % 17, size - 1);
    const std::string ops(reinterpret_cast<const char*>(data + 1), op_count);
    const std::vector<std::uint8_t> stream(data + 1 + op_count, data + size);
    check_validators_agree(std::string(stream.begin(), stream.end()));

    qiv::ByteCursor cursor(stream.data(), stream.size());
    try {
        for (char op : ops) read_one(cursor, static_cast<std::uint8_t>(op));
    } catch (const qiv::Panic&) {
        // A count below -1 is a panic by design.
    }
    return 0;
}
