// Every decoder through the dispatcher by encoding, with and without byte order mark sniffing:
// the output is always well-formed UTF-8, and the decoders that map byte by byte keep the count.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/Utf8Decoder.h"
#include "text/Decode.h"
#include "text/generated/Encoding.h"

namespace {

using qiv::text::Encoding;

void check(bool condition) {
    if (!condition) std::abort();
}

std::size_t code_points(std::string_view utf8) {
    std::size_t n = 0;
    for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

bool is_single_byte(Encoding e) {
    return (e >= Encoding::Ibm866 && e <= Encoding::XMacCyrillic) || e == Encoding::XUserDefined;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto encoding = static_cast<Encoding>(data[0] % qiv::text::kEncodingCount);
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::string plain = qiv::text::decode_without_bom(body, encoding);
    check(qiv::text::is_valid_utf8(plain));
    if (is_single_byte(encoding)) check(code_points(plain) == body.size());
    if (encoding == Encoding::Utf8 && qiv::text::is_valid_utf8(body)) check(plain == body);
    if (encoding == Encoding::Replacement) check(plain.empty() == body.empty());

    const std::string sniffed = qiv::text::decode(body, encoding);
    check(qiv::text::is_valid_utf8(sniffed));
    const bool has_bom = body.starts_with("\xEF\xBB\xBF") || body.starts_with("\xFE\xFF") || body.starts_with("\xFF\xFE");
    if (!has_bom) check(sniffed == plain);
    return 0;
}
