// Chunked reply bodies as they arrive: random bytes never crash, read past their end or stop
// without saying why; a body framed by any well-formed chunking comes back unchanged, however
// its bytes are split and whatever bytes follow its end.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/ChunkedBody.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// Draws choices from the fuzzer's bytes; zeros once they run out.
class Draw {
public:
    Draw(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    unsigned byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    unsigned below(unsigned n) { return byte() % n; }
    char pick(std::string_view from) { return from[below(static_cast<unsigned>(from.size()))]; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

constexpr std::string_view kToken = "!#$%&'*+-.^_`|~09azAZ";

std::string blanks(Draw& d) { return std::string(d.below(3), d.pick(" \t")); }
std::string line_end(Draw& d) { return d.below(2) ? "\r\n" : "\n"; }

std::string token(Draw& d) {
    std::string out(1, d.pick(kToken));
    for (unsigned n = d.below(4); n > 0; --n) out += d.pick(kToken);
    return out;
}

std::string extensions(Draw& d) {
    std::string out;
    for (unsigned n = d.below(3); n > 0; --n) {
        out += blanks(d) + ";" + blanks(d) + token(d);
        const unsigned value = d.below(3);
        if (value == 0) continue;
        out += blanks(d) + "=" + blanks(d);
        if (value == 1) {
            out += token(d);
            continue;
        }
        out += '"';
        for (unsigned k = d.below(6); k > 0; --k) {
            const char c = static_cast<char>(d.byte() | 0x20);  // no control byte but DEL
            if (c == '\x7f') continue;
            if (c == '"' || c == '\\' || d.below(4) == 0) out += '\\';
            out += c;
        }
        out += '"';
    }
    return out;
}

std::string size_line(Draw& d, std::size_t size) {
    static constexpr char kLower[] = "0123456789abcdef";
    static constexpr char kUpper[] = "0123456789ABCDEF";
    const char* digits = d.below(2) ? kUpper : kLower;
    std::string hex;
    do {
        hex.insert(hex.begin(), digits[size % 16]);
        size /= 16;
    } while (size > 0);
    return std::string(d.below(3), '0') + hex + extensions(d) + line_end(d);
}

void round_trip(Draw& d) {
    std::string framed;
    std::string body;
    while (!d.empty() && d.below(8) != 0) {
        std::string data;
        for (unsigned n = d.below(64) + 1; n > 0; --n) data += static_cast<char>(d.byte());
        framed += size_line(d, data.size()) + data + line_end(d);
        body += data;
    }
    framed += size_line(d, 0);
    for (unsigned n = d.below(3); n > 0; --n) {
        framed += token(d) + ":" + blanks(d) + token(d) + blanks(d) + line_end(d);
        if (d.below(4) == 0) framed += " " + blanks(d) + token(d) + line_end(d);
    }
    framed += line_end(d);
    // Whatever follows the end is dropped: often framing-shaped, so the reader must not go on.
    for (unsigned n = d.below(3) == 0 ? d.below(16) : 0; n > 0; --n) framed += d.pick("0a\r\n;: X");

    qiv::http::ChunkedBody reader;
    std::string out;
    for (std::size_t pos = 0; pos < framed.size();) {
        const std::size_t piece = d.below(64) + 1;
        check(reader.feed(std::string_view(framed).substr(pos, piece), out));
        pos += piece;
    }
    check(reader.complete() && reader.error() == nullptr && out == body);
}

void any_bytes(const std::uint8_t* data, std::size_t size, std::size_t piece) {
    qiv::http::ChunkedBody reader;
    std::string out;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    for (std::size_t pos = 0; pos < all.size(); pos += piece) {
        const bool was_complete = reader.complete();
        const std::size_t had = out.size();
        const bool go_on = reader.feed(all.substr(pos, piece), out);
        check(go_on == (reader.error() == nullptr));
        check(out.size() <= pos + piece);
        check(!was_complete || (go_on && out.size() == had));  // a whole body takes nothing more
        if (!go_on) break;
    }
    check(!reader.complete() || reader.error() == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte chooses: framing drawn from the rest, or the rest as the framing itself,
    // fed in pieces of the size it names.
    if (size == 0) return 0;
    if (data[0] & 1) {
        Draw d(data + 1, size - 1);
        round_trip(d);
    } else {
        any_bytes(data + 1, size - 1, (data[0] >> 1) + 1u);
    }
    return 0;
}
