// The configuration record as Python sees it, and its binary form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qiv/core/qiv_core_binary/utility/IuBinary.h"

namespace qiv {

inline constexpr int64_t kEApiConfigVersion = 20240404;

struct EApiConfigRustRecord {
    std::string id;
    int64_t time = 0;
    int64_t version = 0;
    bool isLocal = false;
    std::string name;
    std::string url_logo;
};

// A fresh record: new identifier, the current time, the current version.
EApiConfigRustRecord eapiconfigrust_new(bool isLocal, std::string name, std::string url_logo);

Result<std::vector<uint8_t>, CodecError> serialize(const EApiConfigRustRecord& record);
Result<EApiConfigRustRecord, CodecError> deserialize(ByteCursor& cursor);

// The one-line text form "id: ..., time: ..., version: ... name: ..., url_logo: ...".
// Writes it into out only when it fits in capacity; returns its length either way, so that a
// caller can try a buffer on its stack first.
size_t eapiconfigrust_format(const EApiConfigRustRecord& record, char* out, size_t capacity);
std::string eapiconfigrust_to_string(const EApiConfigRustRecord& record);

}  // namespace qiv
