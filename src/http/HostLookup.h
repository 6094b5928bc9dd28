// Host-name lookup through the system resolver; a blocking call, run on a blocking thread.
#pragma once

#include <string>
#include <vector>

#include "http/HttpError.h"
#include "support/Result.h"

namespace qiv::http {

// The host's addresses in the resolver's order, as numeric texts (IPv6 without brackets),
// each once.
Result<std::vector<std::string>, HttpError> lookup_host(const std::string& host);

}  // namespace qiv::http
