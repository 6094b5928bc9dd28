// The debug renderings put into messages: quoted texts and the one-line record form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qiv {

// Appends the text between double quotes, escaping as the debug form does.
void append_quoted(std::string& out, std::string_view text);

// The same for bytes that may not be UTF-8: well-formed runs as append_quoted writes them,
// each byte of an ill-formed sequence as \xHH.
void append_quoted_bytes(std::string& out, std::string_view bytes);

// Builds "Name { field: value, field: value }".
class DebugRecord {
public:
    DebugRecord(std::string& out, std::string_view name);
    DebugRecord& text(std::string_view field, std::string_view value);
    DebugRecord& integer(std::string_view field, int64_t value);
    DebugRecord& flag(std::string_view field, bool value);
    // The caller appends the value's own rendering right after this.
    std::string& raw(std::string_view field);
    void finish();

private:
    void begin_field(std::string_view field);
    std::string& out_;
    bool first_ = true;
};

}  // namespace qiv
