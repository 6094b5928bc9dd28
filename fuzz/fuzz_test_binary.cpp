// The EApiConfig round trip: decode, log, put in the test texts, re-encode. A stream that does not
// decode ends in a panic, which is an expected outcome here; anything else must round-trip.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "qiv/core/qiv_core_api/entity/EApiConfig.h"
#include "qiv/core/qiv_core_api/utility/IuApi.h"
#include "support/Panic.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool same(const qiv::EApiConfig& a, const qiv::EApiConfig& b) {
    return a.eobject.id == b.eobject.id && a.eobject.time == b.eobject.time && a.isLocal == b.isLocal &&
           a.name == b.name && a.url_logo == b.url_logo;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The debug lines go to descriptor 1 directly; the fuzzer's own output is on 2.
    int null = ::open("/dev/null", O_WRONLY);
    if (null < 0 || ::dup2(null, 1) < 0) std::abort();
    ::close(null);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> input(data, data + size);

    // A count below -1 panics already in the decoder; the round trip must then panic as well.
    std::optional<qiv::Result<qiv::EApiConfig, qiv::CodecError>> decoded_or_panic;
    try {
        qiv::ByteCursor cursor(input.data(), input.size());
        decoded_or_panic.emplace(qiv::from_stream(cursor));
    } catch (const qiv::Panic&) {
        decoded_or_panic.emplace(qiv::CodecError{qiv::CodecErrorKind::InvalidInput, "panic"});
    }
    auto& decoded = *decoded_or_panic;
    if (decoded.ok()) {
        // What decodes re-encodes to a stream that decodes to the same record.
        std::vector<std::uint8_t> again = qiv::to_stream(decoded.value());
        qiv::ByteCursor again_cursor(again.data(), again.size());
        auto redecoded = qiv::from_stream(again_cursor);
        check(redecoded.ok() && again_cursor.position == again.size());
        check(same(decoded.value(), redecoded.value()));
    }

    try {
        auto out = qiv::test_binary(std::move(input));
        check(out.ok() && decoded.ok());
        std::vector<std::uint8_t>& bytes = out.value();
        qiv::ByteCursor out_cursor(bytes.data(), bytes.size());
        auto result = qiv::from_stream(out_cursor);
        check(result.ok() && out_cursor.position == bytes.size());
        qiv::EApiConfig expected = decoded.value();
        expected.name = "name_test_rust";
        expected.url_logo = "url_logo_test_rust";
        check(same(result.value(), expected));
    } catch (const qiv::Panic&) {
        // Only a stream that does not decode may panic.
        check(!decoded.ok());
    }
    return 0;
}
