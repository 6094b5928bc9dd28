#include "support/Panic.h"

#include <pthread.h>
#include <unistd.h>

namespace qiv {

namespace {

void write_all(int fd, const std::string& text) noexcept {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n <= 0) return;  // a report that cannot be written is lost, never fatal
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace

void panic(std::string message, std::source_location where) {
    char name[32] = "<unnamed>";
    pthread_getname_np(pthread_self(), name, sizeof name);
    std::string report = "thread '";
    report += name;
    report += "' panicked at ";
    report += where.file_name();
    report += ':';
    report += std::to_string(where.line());
    report += ':';
    report += std::to_string(where.column());
    report += ":\n";
    report += message;
    report += '\n';
    write_all(2, report);
    throw Panic(std::move(message));
}

}  // namespace qiv
