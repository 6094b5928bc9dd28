// Removes the chunked framing of a reply body as its bytes arrive, read strictly (RFC 9112):
// hex sizes, extensions of tokens and quoted strings, data ended by its line end, the last
// chunk, trailer fields with the head's rules and the final line end. Any other byte breaks the
// body. Line ends are CRLF or a bare LF, as in the head. Once the final line end is read the
// body is whole and the reader takes nothing more: bytes after it are no part of the reply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qiv::http {

class ChunkedBody {
public:
    // Appends the chunk data found in bytes to out. false: the framing is broken, and error()
    // says how; nothing more is read. Bytes after a whole body are dropped unread. Throws
    // std::bad_alloc only.
    bool feed(std::string_view bytes, std::string& out);

    // The final line end has been read: the body is whole.
    bool complete() const noexcept { return state_ == State::Done; }
    // A fixed text, or nullptr while nothing is wrong.
    const char* error() const noexcept { return error_; }

private:
    enum class State {
        SizeFirst,      // the first hex digit of a size
        Size,           // more hex digits, or what ends the size
        ExtSemicolon,   // blanks seen: more blanks, then ";"
        ExtNameFirst,   // after ";": blanks, then a name's first byte
        ExtName,        // name bytes, or what ends the name
        ExtAfterName,   // blanks seen after a name: more, then "=" or ";"
        ExtValueFirst,  // after "=": blanks, then a token or a quoted string
        ExtToken,       // token bytes, or what ends the value
        ExtQuoted,      // inside a quoted string
        ExtQuotedPair,  // after a backslash in a quoted string
        ExtEnd,         // after a quoted string: blanks, ";" or the line end
        LineLf,         // a CR seen: its LF must follow
        Data,           // data bytes still owed by the chunk
        DataEnd,        // the line end after the data
        TrailerStart,   // a trailer line, or the final line end
        TrailerName,    // field name bytes, then ":"
        TrailerValue,   // field value bytes up to the line end
        Done,
        Failed,
    };

    bool step(char c);
    // c ends a line whose content is whole: a CR waits for its LF, an LF goes on at once.
    bool line_end(char c, State next);
    // c follows a size or an extension: ";" starts another extension, a line end the data.
    bool item_end(char c, const char* why);
    State after_size_line() const noexcept { return size_ == 0 ? State::TrailerStart : State::Data; }
    bool fail(const char* why) noexcept;

    State state_ = State::SizeFirst;
    State after_lf_ = State::Data;  // where a line ended by CR goes once its LF arrives
    std::uint64_t size_ = 0;        // the chunk's declared size; then the data bytes still owed
    bool any_trailer_ = false;      // a folded trailer line needs a field before it
    const char* error_ = nullptr;
};

}  // namespace qiv::http
