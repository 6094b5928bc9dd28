// The process-wide line-buffered writer on file descriptor 1, under a re-entrant lock.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "support/Result.h"

namespace qiv {

class StdoutWriter {
public:
    static StdoutWriter& instance();

    // Everything up to the last line feed goes out at once; the rest waits in the buffer.
    // A closed descriptor swallows the bytes. Errors come back as their display text.
    Result<Unit, std::string> write(std::string_view bytes);

    std::recursive_mutex& lock() noexcept { return mutex_; }

private:
    StdoutWriter() = default;
    Result<Unit, std::string> write_out(std::string_view bytes);

    std::recursive_mutex mutex_;
    std::string pending_;
};

}  // namespace qiv
