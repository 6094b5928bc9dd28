// The one logging call: a DEBUG line naming the statement that logs, on standard output.
#pragma once

#include <source_location>
#include <string_view>

namespace qiv {

// An output error other than a closed descriptor panics with "failed printing to stdout: ...".
void log_debug(std::string_view message, std::source_location where = std::source_location::current());

}  // namespace qiv
