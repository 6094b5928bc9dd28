// The stream round trip behind the module functions, and the server call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/BoxedError.h"
#include "support/Result.h"

namespace qiv {

// Decodes an EApiConfig stream, logs it, puts in the test texts and re-encodes it.
// A stream that does not decode ends in a panic.
Result<std::vector<uint8_t>, BoxedError> test_binary(std::vector<uint8_t> data);

// POSTs the body to the API server and returns the reply body decoded to text (UTF-8).
// Blocks the calling thread until the exchange has ended.
Result<std::string, BoxedError> do_set_server(std::vector<uint8_t> body);

}  // namespace qiv
