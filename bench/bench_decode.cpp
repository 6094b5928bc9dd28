// Times the reply decoder on files of encoded text. For each "LABEL IN OUT" triple on the command
// line it decodes the bytes of IN as "text/plain; charset=LABEL" REPEAT times, writes the text to
// OUT and prints one line: LABEL <bytes in> <median seconds> <each run's seconds>...
// bench_decode.py makes the files and compares with Python's codecs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "text/ReplyDecoder.h"

namespace {

std::string read_file(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || (argc - 2) % 3 != 0) {
        std::fprintf(stderr, "usage: %s REPEAT LABEL IN OUT [LABEL IN OUT]...\n", argv[0]);
        return 2;
    }
    const int repeat = std::max(1, std::atoi(argv[1]));
    for (int arg = 2; arg + 2 < argc; arg += 3) {
        const std::string label = argv[arg];
        const std::string body = read_file(argv[arg + 1]);
        const std::string content_type = "text/plain; charset=" + label;

        std::vector<double> seconds;
        std::string text;
        for (int r = 0; r < repeat; ++r) {
            text = std::string();  // the last result freed first, as bench_decode.py does on its side
            auto start = std::chrono::steady_clock::now();
            text = qiv::text::decode_reply(content_type, body);
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        std::ofstream(argv[arg + 2], std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        std::printf("%s %zu %.9f", label.c_str(), body.size(), sorted[sorted.size() / 2]);
        for (double s : seconds) std::printf(" %.9f", s);
        std::printf("\n");
    }
    return 0;
}
