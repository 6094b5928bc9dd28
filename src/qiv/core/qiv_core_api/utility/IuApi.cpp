#include "qiv/core/qiv_core_api/utility/IuApi.h"

#include "log/log_debug.h"
#include "qiv/core/qiv_core_api/entity/EApiConfig.h"
#include "support/Panic.h"

namespace qiv {

Result<std::vector<uint8_t>, BoxedError> test_binary(std::vector<uint8_t> data) {
    ByteCursor cursor(data.data(), data.size());
    auto decoded = from_stream(cursor);
    if (!decoded) {
        std::string message = "Failed to parse EApiConfig: " + decoded.error().message;
        log_debug(message);
        panic(std::move(message));
    }
    EApiConfig& record = decoded.value();
    std::string line = "eApiConfigOut: ";
    eapiconfig_fmt_debug(record, line);
    log_debug(line);
    record.name = "name_test_rust";
    record.url_logo = "url_logo_test_rust";
    return to_stream(record);
}

// ---- server call ----

Result<std::string, BoxedError> do_set_server(std::vector<uint8_t> body) {
    (void)body;
    return BoxedError(std::make_unique<MessageError>("server call not built yet"));
}

}  // namespace qiv
