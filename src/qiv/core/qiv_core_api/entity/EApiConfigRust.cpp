#include "qiv/core/qiv_core_api/entity/EApiConfigRust.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "qiv/entity/EObject.h"

namespace qiv {

EApiConfigRustRecord eapiconfigrust_new(bool isLocal, std::string name, std::string url_logo) {
    std::string id = generate_id();
    // A clock reading of its own, after the one inside the identifier.
    int64_t time = unix_now().seconds;
    return {std::move(id), time, kEApiConfigVersion, isLocal, std::move(name), std::move(url_logo)};
}

Result<std::vector<uint8_t>, CodecError> serialize(const EApiConfigRustRecord& record) {
    std::vector<uint8_t> out;
    CodecStatus status = write_string(record.id, out);
    if (status) status = write_i64(record.time, out);
    if (status) status = write_i64(record.version, out);
    if (status) status = write_bool(record.isLocal, out);
    if (status) status = write_string(record.name, out);
    if (status) status = write_string(record.url_logo, out);
    if (!status) return std::move(status).error();
    return out;
}

Result<EApiConfigRustRecord, CodecError> deserialize(ByteCursor& cursor) {
    EApiConfigRustRecord record;
    auto id = read_string(cursor);
    if (!id) return std::move(id).error();
    record.id = std::move(id).value();
    auto time = read_i64(cursor);
    if (!time) return std::move(time).error();
    record.time = time.value();
    auto version = read_i64(cursor);
    if (!version) return std::move(version).error();
    record.version = version.value();
    auto isLocal = read_bool(cursor);
    if (!isLocal) return std::move(isLocal).error();
    record.isLocal = isLocal.value();
    auto name = read_string(cursor);
    if (!name) return std::move(name).error();
    record.name = std::move(name).value();
    auto url_logo = read_string(cursor);
    if (!url_logo) return std::move(url_logo).error();
    record.url_logo = std::move(url_logo).value();
    return record;
}

size_t eapiconfigrust_format(const EApiConfigRustRecord& record, char* out, size_t capacity) {
    char time_digits[20], version_digits[20];  // an int64_t has at most 19 digits and a sign
    char* time_end = std::to_chars(time_digits, time_digits + sizeof time_digits, record.time).ptr;
    char* version_end = std::to_chars(version_digits, version_digits + sizeof version_digits, record.version).ptr;
    // The missing comma before " name: " belongs to the fixed text form.
    const std::string_view pieces[] = {
        "id: ",       record.id,
        ", time: ",   {time_digits, static_cast<size_t>(time_end - time_digits)},
        ", version: ", {version_digits, static_cast<size_t>(version_end - version_digits)},
        " name: ",    record.name,
        ", url_logo: ", record.url_logo,
    };
    size_t size = 0;
    for (std::string_view piece : pieces) size += piece.size();
    if (size > capacity) return size;
    for (std::string_view piece : pieces) {
        std::memcpy(out, piece.data(), piece.size());
        out += piece.size();
    }
    return size;
}

std::string eapiconfigrust_to_string(const EApiConfigRustRecord& record) {
    std::string text(eapiconfigrust_format(record, nullptr, 0), '\0');
    eapiconfigrust_format(record, text.data(), text.size());
    return text;
}

}  // namespace qiv
