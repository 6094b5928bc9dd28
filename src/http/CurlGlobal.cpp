#include "http/CurlGlobal.h"

#include <curl/curl.h>

namespace qiv::http {

bool curl_global_ready() {
    // A function-local static is set up once, even with racing callers; never torn down,
    // since handles may be released at interpreter exit in any order.
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

}  // namespace qiv::http
