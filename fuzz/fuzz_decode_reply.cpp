// The reply decoder as the server call uses it: a content-type header (or none) and a body, both
// from the input. The first byte picks the header: one of a list of charsets, raw bytes (up to a
// backslash and another byte), or none.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>

#include "text/Utf8Decoder.h"
#include "text/ReplyDecoder.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// Labels of several families, so that every decoder is reached quickly.
constexpr const char* kCharsets[] = {
    "utf-8", "UTF-16LE", "utf-16be", "utf-16", "gbk", "gb18030", "big5", "euc-jp", "iso-2022-jp",
    "shift_jis", "euc-kr", "iso-2022-kr", "x-user-defined", "windows-1252", "koi8-u", "ibm866",
    "iso-8859-8-i", "x-mac-cyrillic", "macintosh", "\"Shift_JIS\"", "  latin1  ", "unknown-label",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t pick = data[0];
    FuzzedDataProvider input(data + 1, size - 1);
    std::optional<std::string> content_type;
    if (pick < std::size(kCharsets)) {
        content_type = std::string("text/plain; charset=") + kCharsets[pick];
    } else if (pick < 200) {
        content_type = input.ConsumeRandomLengthString(256);
    }
    const std::string body = input.ConsumeRemainingBytesAsString();

    std::optional<std::string_view> header;
    if (content_type) header = *content_type;
    const std::string text = qiv::text::decode_reply(header, body);
    check(qiv::text::is_valid_utf8(text));
    return 0;
}
