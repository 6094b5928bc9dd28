#include "log/log_debug.h"

#include <string>

#include "log/StdoutWriter.h"
#include "support/Panic.h"

namespace qiv {

void log_debug(std::string_view message, std::source_location where) {
    std::string line = "DEBUG [";
    line += where.file_name();
    line += ':';
    line += std::to_string(where.line());
    line += "]:\n";
    line += message;
    line += "\n\n";
    StdoutWriter& out = StdoutWriter::instance();
    std::lock_guard hold(out.lock());
    if (auto r = out.write(line); !r) panic("failed printing to stdout: " + r.error());
}

}  // namespace qiv
