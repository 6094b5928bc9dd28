// Owns one parsed URL of the HTTP library's URL interface. Move-only.
#pragma once

#include <curl/curl.h>

#include <optional>
#include <string>

namespace qiv::http {

class CurlUrl {
public:
    CurlUrl();
    ~CurlUrl();
    CurlUrl(CurlUrl&& other) noexcept;
    CurlUrl& operator=(CurlUrl&& other) noexcept;
    CurlUrl(const CurlUrl&) = delete;
    CurlUrl& operator=(const CurlUrl&) = delete;

    // Parses text as an absolute URL, or as a reference resolved against the URL held.
    // Any scheme is accepted; callers check it.
    bool set(const std::string& text);

    // Removes one part; false when the library refuses.
    bool clear(CURLUPart part);

    // One part, or nullopt when the URL has none. flags as for the library's getter.
    std::optional<std::string> get(CURLUPart part, unsigned flags = 0) const;

    bool ok() const noexcept { return url_ != nullptr; }

private:
    CURLU* url_ = nullptr;
};

}  // namespace qiv::http
