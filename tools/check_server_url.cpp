// Build step: reads the API server's base URL, refuses anything but an https URL with a host and
// an optional port, and writes the server call's URL as a header.
//   check_server_url <file holding the base URL> <header to write>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "http/Url.h"

namespace {

constexpr const char* kServerPath = "/v1/set_server/";

std::string literal(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: check_server_url <base-url-file> <header>\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string base((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto url = qiv::http::Url::parse(base);
    // Nothing but scheme, host and port: a path, query, fragment or credentials would be dropped
    // or sent where they were not meant to go.
    const bool ok = url && url->scheme() == "https" && !url->host().empty() && !url->has_user() &&
                    !url->has_password() && url->bare() == url->href() &&
                    qiv::http::Url::parse("/", *url)->href() == url->href();
    if (!ok) {
        std::cerr << "QIV_API_BASE_URL must be an https URL with a host and an optional port, and nothing else: \""
                  << base << "\"\n";
        return 1;
    }
    const std::string server = qiv::http::Url::parse(kServerPath, *url)->href();
    std::ostringstream header;
    header << "// Written by the build from QIV_API_BASE_URL.\n#pragma once\n#define QIV_SERVER_URL "
           << literal(server) << "\n";
    std::ifstream old(argv[2], std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
    if (before != header.str()) std::ofstream(argv[2], std::ios::binary) << header.str();
    return 0;
}
