#include "text/Utf8Writer.h"

namespace qiv::text {

// Out of line: the push paths stay small, and a flush comes once per kStageSize bytes.
[[gnu::noinline]] char* Utf8Writer::flush() {
    out_.append(stage_, static_cast<std::size_t>(cur_ - stage_));
    cur_ = stage_;
    return cur_;
}

[[gnu::noinline]] void Utf8Writer::append_long(const void* bytes, std::size_t n) {
    flush();
    if (n >= kDirectRun) {
        out_.append(static_cast<const char*>(bytes), n);
    } else {
        std::memcpy(cur_, bytes, n);
        cur_ += n;
    }
}

}  // namespace qiv::text
