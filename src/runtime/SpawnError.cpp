#include "runtime/SpawnError.h"

#include <cstring>

namespace qiv::runtime {

namespace {

std::string os_error_text(int err) {
    char buf[256] = {};
    // The GNU variant may return a static string instead of filling buf.
    const char* text = ::strerror_r(err, buf, sizeof buf);
    return text ? std::string(text) : std::string("Unknown error");
}

}  // namespace

SpawnError::SpawnError(int os_error)
    : os_error_(os_error),
      message_("OS can't spawn worker thread: " + os_error_text(os_error) + " (os error " +
               std::to_string(os_error) + ")") {}

}  // namespace qiv::runtime
