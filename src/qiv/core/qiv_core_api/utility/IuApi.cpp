#include "qiv/core/qiv_core_api/utility/IuApi.h"

#include "log/log_debug.h"
#include "qiv/core/qiv_core_api/entity/EApiConfig.h"
#include "support/Panic.h"

// server call
#include <optional>
#include <string_view>

#include "http/CurlGlobal.h"
#include "http/Exchange.h"
#include "http/ExchangeSettings.h"
#include "http/HostLookup.h"
#include "runtime/Runtime.h"
#include "runtime/WorkerCount.h"
#include "text/ReplyDecoder.h"

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
    // The library's process-wide setup must be done before the runtime's threads exist.
    http::curl_global_ready();
    // Panics (worker count, a thread that cannot start) are raised here, on the calling thread.
    runtime::Runtime rt(runtime::worker_count_from_env());
    auto client = http::Exchange::make(http::ExchangeSettings::for_server_call());
    if (!client) panic("Client::new(): " + client.error().debug());

    auto reply = rt.block_on([&rt, exchange = std::move(client).value(), body = std::move(body)]() mutable {
        // The worker waits for the lookup, which runs on a blocking thread of the same runtime.
        const http::Hop::HostLookup lookup = [&rt](const std::string& host) {
            return rt.spawn_blocking([host] { return http::lookup_host(host); }).get();
        };
        return exchange.run(std::move(body), lookup);
    });
    if (!reply) return std::move(reply).error();
    const http::Reply& final_reply = reply.value();
    std::optional<std::string_view> content_type;
    if (final_reply.content_type) content_type = *final_reply.content_type;
    return text::decode_reply(content_type, final_reply.body);
}

}  // namespace qiv
