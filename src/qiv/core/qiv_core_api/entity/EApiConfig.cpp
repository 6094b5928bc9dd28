#include "qiv/core/qiv_core_api/entity/EApiConfig.h"

#include "log/DebugFmt.h"
#include "support/Panic.h"

namespace qiv {

Result<EApiConfig, CodecError> from_stream(ByteCursor& cursor) {
    auto eobject = eobject_read(cursor);
    if (!eobject) return std::move(eobject).error();
    auto isLocal = read_bool(cursor);
    if (!isLocal) return std::move(isLocal).error();
    auto name = read_string(cursor);
    if (!name) return std::move(name).error();
    auto url_logo = read_string(cursor);
    if (!url_logo) return std::move(url_logo).error();
    return EApiConfig{std::move(eobject).value(), isLocal.value(), std::move(name).value(), std::move(url_logo).value()};
}

std::vector<uint8_t> to_stream(const EApiConfig& record) {
    std::vector<uint8_t> out;
    CodecStatus status = eobject_write(record.eobject, out);
    if (status) status = write_bool(record.isLocal, out);
    if (status) status = write_string(record.name, out);
    if (status) status = write_string(record.url_logo, out);
    if (!status) panic("Failed to to_stream: " + status.error().message);
    return out;
}

void eapiconfig_fmt_debug(const EApiConfig& record, std::string& out) {
    DebugRecord rec(out, "EApiConfig");
    eobject_fmt_debug(record.eobject, rec.raw("eobject"));
    rec.flag("isLocal", record.isLocal).text("name", record.name).text("url_logo", record.url_logo).finish();
}

}  // namespace qiv
