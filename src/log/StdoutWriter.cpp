#include "log/StdoutWriter.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qiv {

namespace {

std::string os_error_text(int code) {
    char buf[256];
    const char* text = strerror_r(code, buf, sizeof buf);
    return std::string(text) + " (os error " + std::to_string(code) + ")";
}

}  // namespace

StdoutWriter& StdoutWriter::instance() {
    static StdoutWriter* writer = new StdoutWriter;  // lives to the process end
    return *writer;
}

Result<Unit, std::string> StdoutWriter::write(std::string_view bytes) {
    std::lock_guard hold(mutex_);
    size_t last_newline = bytes.rfind('\n');
    if (last_newline == std::string_view::npos) {
        pending_.append(bytes);
        return Unit{};
    }
    std::string out = std::move(pending_);
    pending_.clear();
    out.append(bytes.substr(0, last_newline + 1));
    pending_.assign(bytes.substr(last_newline + 1));
    return write_out(out);
}

Result<Unit, std::string> StdoutWriter::write_out(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(1, bytes.data(), bytes.size());
        if (n < 0) {
            int code = errno;
            if (code == EINTR) continue;
            if (code == EBADF) return Unit{};  // no standard output: the lines are dropped
            return os_error_text(code);
        }
        if (n == 0) return std::string("failed to write whole buffer");
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return Unit{};
}

}  // namespace qiv
