#include "text/Utf8Decoder.h"

#include <algorithm>
#include <array>

#include "text/AsciiScan.h"
#include "text/Utf8Writer.h"

namespace qiv::text {

namespace {

// A shift-based DFA: the state is a bit offset, and row[byte] >> state holds the next state in its
// low 6 bits. One shift per byte with no branch on the byte's class keeps mixed text fast.
enum : std::uint8_t {
    kAccept = 0,
    kError = 6,
    kTail1 = 12,   // one trail byte 80..BF to go
    kTail2 = 18,   // two
    kTail3 = 24,   // three
    kAfterE0 = 30, // A0..BF then one more: no overlong three-byte forms
    kAfterED = 36, // 80..9F then one more: no surrogates
    kAfterF0 = 42, // 90..BF then two more: no overlong four-byte forms
    kAfterF4 = 48, // 80..8F then two more: nothing past U+10FFFF
};

constexpr std::uint8_t next_state(std::uint8_t state, unsigned b) {
    bool trail = b >= 0x80 && b <= 0xBF;
    switch (state) {
    case kAccept:
        if (b < 0x80) return kAccept;
        if (b >= 0xC2 && b <= 0xDF) return kTail1;
        if (b == 0xE0) return kAfterE0;
        if (b == 0xED) return kAfterED;
        if (b >= 0xE1 && b <= 0xEF) return kTail2;
        if (b == 0xF0) return kAfterF0;
        if (b == 0xF4) return kAfterF4;
        if (b >= 0xF1 && b <= 0xF3) return kTail3;
        return kError;
    case kTail1: return trail ? kAccept : kError;
    case kTail2: return trail ? kTail1 : kError;
    case kTail3: return trail ? kTail2 : kError;
    case kAfterE0: return b >= 0xA0 && b <= 0xBF ? kTail1 : kError;
    case kAfterED: return b >= 0x80 && b <= 0x9F ? kTail1 : kError;
    case kAfterF0: return b >= 0x90 && b <= 0xBF ? kTail2 : kError;
    case kAfterF4: return b >= 0x80 && b <= 0x8F ? kTail2 : kError;
    default: return kError;
    }
}

constexpr std::array<std::uint64_t, 256> make_rows() {
    std::array<std::uint64_t, 256> rows{};
    for (unsigned b = 0; b < 256; ++b) {
        for (std::uint8_t state = kAccept; state <= kAfterF4; state = static_cast<std::uint8_t>(state + 6)) {
            rows[b] |= std::uint64_t{next_state(state, b)} << state;
        }
    }
    return rows;
}

constexpr std::array<std::uint64_t, 256> kRows = make_rows();

// The next state, in the low 6 bits; the bits above are left over from the row and ignored,
// because a shift by the state uses only its low 6 bits.
inline std::uint64_t step(std::uint64_t state, std::uint8_t byte) { return kRows[byte] >> (state & 63); }

// Where the sequence still open at i in this state began: at the last lead byte before i.
std::size_t open_sequence_start(const std::uint8_t* s, std::size_t i, std::uint64_t state) {
    if ((state & 63) == kAccept) return i;
    while ((s[i - 1] & 0xC0) == 0x80) --i;
    return i - 1;
}

// Byte by byte from i in the given state, where the current sequence began at start.
std::size_t finish_bytewise(const std::uint8_t* s, std::size_t n, std::size_t limit, std::size_t i,
                            std::uint64_t state, std::size_t start) {
    for (;;) {
        if ((state & 63) == kAccept) {
            start = i;
            if (i >= limit) return i;
            if (s[i] < 0x80) {
                i += ascii_prefix(s + i, limit - i);
                start = i;
                if (i >= limit) return i;
            }
        } else if ((state & 63) == kError || i == n) {
            return start;
        }
        state = step(state, s[i]);
        ++i;
    }
}

}  // namespace

std::size_t Utf8Decoder::valid_prefix(const std::uint8_t* s, std::size_t n, std::size_t limit) {
    std::size_t i = 0;
    for (;;) {
        i += ascii_prefix(s + i, limit - i);
        if (i >= limit) return i;
        // Non-ASCII text: the DFA runs 16 bytes at a time with one check a block, since the
        // error state is absorbing. Blocks continue until an all-ASCII block starts at a boundary.
        std::uint64_t state = kAccept;
        while (n - i >= 16) {
            if ((state & 63) == kAccept && ((load_word(s + i) | load_word(s + i + 8)) & kHighBits) == 0) break;
            const std::uint64_t entry = state;
            for (int k = 0; k < 16; ++k) state = step(state, s[i + k]);
            if ((state & 63) == kError) {
                // Rare: the block again, byte by byte, to find where the failing sequence began.
                return finish_bytewise(s, n, limit, i, entry, open_sequence_start(s, i, entry));
            }
            i += 16;
            if ((state & 63) == kAccept && i >= limit) return i;
        }
        if (n - i < 16) return finish_bytewise(s, n, limit, i, state, open_sequence_start(s, i, state));
    }
}

std::size_t Utf8Decoder::error_length(const std::uint8_t* s, std::size_t n) {
    std::uint8_t lead = s[0];
    std::size_t needed;
    std::uint8_t lower = 0x80;
    std::uint8_t upper = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 2;
        if (lead == 0xE0) lower = 0xA0;
        if (lead == 0xED) upper = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3;
        if (lead == 0xF0) lower = 0x90;
        if (lead == 0xF4) upper = 0x8F;
    } else {
        return 1;  // not a lead byte
    }
    std::size_t seen = 0;
    while (seen < needed && 1 + seen < n) {
        std::uint8_t b = s[1 + seen];
        if (b < lower || b > upper) break;  // that byte is read again as the next sequence's start
        lower = 0x80;
        upper = 0xBF;
        ++seen;
    }
    return 1 + seen;
}

bool is_valid_utf8(std::string_view bytes) noexcept {
    const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
    return Utf8Decoder::valid_prefix(s, bytes.size(), bytes.size()) == bytes.size();
}

std::string Utf8Decoder::decode(std::string_view input) {
    // Checked a chunk at a time and copied while the chunk is still in the first-level cache:
    // about one trip through memory, as a plain copy takes.
    constexpr std::size_t kChunk = 4 * 1024;
    const auto* s = reinterpret_cast<const std::uint8_t*>(input.data());
    const std::size_t n = input.size();
    Utf8Writer out(n);  // exact for well-formed input
    std::size_t pos = 0;
    while (pos < n) {
        const std::size_t limit = std::min(kChunk, n - pos);
        const std::size_t run = valid_prefix(s + pos, n - pos, limit);
        out.append(s + pos, run);
        pos += run;
        if (run < limit) {
            pos += error_length(s + pos, n - pos);
            out.push_replacement();
        }
    }
    return std::move(out).finish();
}

}  // namespace qiv::text
