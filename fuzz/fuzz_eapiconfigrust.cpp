// The EApiConfigRust record decoder: whatever decodes serializes to bytes that decode to the same
// record, and those bytes are stable from then on.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "qiv/core/qiv_core_api/entity/EApiConfigRust.h"
#include "support/Panic.h"
#include "text/Utf8Decoder.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool same(const qiv::EApiConfigRustRecord& a, const qiv::EApiConfigRustRecord& b) {
    return a.id == b.id && a.time == b.time && a.version == b.version && a.isLocal == b.isLocal && a.name == b.name &&
           a.url_logo == b.url_logo;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qiv::ByteCursor cursor(data, size);
    try {
        auto record = qiv::deserialize(cursor);
        check(cursor.position <= size);
        if (!record.ok()) return 0;
        const qiv::EApiConfigRustRecord& r = record.value();
        check(qiv::text::is_valid_utf8(r.id) && qiv::text::is_valid_utf8(r.name) && qiv::text::is_valid_utf8(r.url_logo));
        (void)qiv::eapiconfigrust_to_string(r);

        auto bytes = qiv::serialize(r);
        check(bytes.ok());
        qiv::ByteCursor again(bytes.value().data(), bytes.value().size());
        auto copy = qiv::deserialize(again);
        check(copy.ok() && again.position == bytes.value().size() && same(r, copy.value()));
        auto bytes_again = qiv::serialize(copy.value());
        check(bytes_again.ok() && bytes_again.value() == bytes.value());
    } catch (const qiv::Panic&) {
        // A count below -1 is a panic by design.
    }
    return 0;
}
