#include "qiv/core/qiv_core_api/entity/EApiConfigRust.h"

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

std::string eapiconfigrust_to_string(const EApiConfigRustRecord& record) {
    std::string s = "id: ";
    s += record.id;
    s += ", time: ";
    s += std::to_string(record.time);
    s += ", version: ";
    s += std::to_string(record.version);
    s += " name: ";
    s += record.name;
    s += ", url_logo: ";
    s += record.url_logo;
    return s;
}

}  // namespace qiv
