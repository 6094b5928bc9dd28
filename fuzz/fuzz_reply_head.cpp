// Reply heads line by line, as the HTTP library hands them over: the limits hold and a stopped
// transfer always says why, and only a final head is complete.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/ReplyHead.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte says whether a proxy tunnel reply comes first; the rest are the lines, which
    // end at LF as the library splits them (what is left at the end is the last line).
    if (size == 0) return 0;
    qiv::http::ReplyHead head((data[0] & 1) != 0);
    const std::string all(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t end = all.find('\n', pos);
        end = end == std::string::npos ? all.size() : end + 1;
        const bool go_on = head.feed(std::string_view(all).substr(pos, end - pos));
        check(go_on == !head.error().has_value());
        if (!go_on) break;
        pos = end;
    }
    // A complete head is a final one.
    check(!head.complete() || head.status() >= 200);
    return 0;
}
