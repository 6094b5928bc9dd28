#include "http/HttpError.h"

#include "log/DebugFmt.h"

namespace qiv::http {

HttpError HttpError::from_curl(CURLcode rc, const char* error_buffer) {
    HttpErrorCode code = HttpErrorCode::Internal;
    switch (rc) {
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            code = HttpErrorCode::Url;
            break;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
            code = HttpErrorCode::Resolve;
            break;
        case CURLE_COULDNT_CONNECT:
            code = HttpErrorCode::Connect;
            break;
        case CURLE_PROXY:
            code = HttpErrorCode::ProxyTunnel;
            break;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CLIENTCERT:
        case CURLE_USE_SSL_FAILED:
            code = HttpErrorCode::Tls;
            break;
        case CURLE_OPERATION_TIMEDOUT:
        // Our callbacks abort this way only for the stall watch and for a request that would
        // go out a second time; both record their own error, which the hop reports instead.
        case CURLE_ABORTED_BY_CALLBACK:
            code = HttpErrorCode::Timeout;
            break;
        case CURLE_TOO_MANY_REDIRECTS:
            code = HttpErrorCode::TooManyRedirects;
            break;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_HTTP2:
        case CURLE_HTTP3:
        case CURLE_BAD_CONTENT_ENCODING:
            code = HttpErrorCode::ReplyHead;
            break;
        case CURLE_SEND_ERROR:
        case CURLE_SEND_FAIL_REWIND:
        case CURLE_READ_ERROR:
            code = HttpErrorCode::Send;
            break;
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_WRITE_ERROR:  // our callbacks refused what came in
            code = HttpErrorCode::Receive;
            break;
        case CURLE_OUT_OF_MEMORY:
            code = HttpErrorCode::OutOfMemory;
            break;
        case CURLE_UNKNOWN_OPTION:
        case CURLE_NOT_BUILT_IN:
        case CURLE_BAD_FUNCTION_ARGUMENT:
        case CURLE_FAILED_INIT:
            code = HttpErrorCode::Setup;
            break;
        default:
            code = HttpErrorCode::Internal;
            break;
    }
    std::string detail = (error_buffer && *error_buffer) ? error_buffer : curl_easy_strerror(rc);
    detail += " (transfer code " + std::to_string(static_cast<int>(rc)) + ")";
    return HttpError(code, std::move(detail));
}

const char* http_error_code_name(HttpErrorCode code) noexcept {
    switch (code) {
        case HttpErrorCode::Setup: return "Setup";
        case HttpErrorCode::Url: return "Url";
        case HttpErrorCode::Resolve: return "Resolve";
        case HttpErrorCode::Connect: return "Connect";
        case HttpErrorCode::ProxyTunnel: return "ProxyTunnel";
        case HttpErrorCode::Tls: return "Tls";
        case HttpErrorCode::Timeout: return "Timeout";
        case HttpErrorCode::TooManyRedirects: return "TooManyRedirects";
        case HttpErrorCode::ReplyHead: return "ReplyHead";
        case HttpErrorCode::Send: return "Send";
        case HttpErrorCode::Receive: return "Receive";
        case HttpErrorCode::OutOfMemory: return "OutOfMemory";
        case HttpErrorCode::Internal: return "Internal";
    }
    return "Internal";
}

std::string HttpError::display() const { return detail_; }

std::string HttpError::debug() const {
    std::string out;
    DebugRecord record(out, "HttpError");
    record.raw("code") += http_error_code_name(code_);
    // The detail may carry the HTTP library's text, which need not be UTF-8.
    append_quoted_bytes(record.raw("detail"), detail_);
    record.finish();
    return out;
}

}  // namespace qiv::http
