// Owns one string list of the HTTP library (header lines, resolve entries). Move-only.
#pragma once

#include <curl/curl.h>

#include <string>
#include <utility>
#include <vector>

namespace qiv::http {

class CurlList {
public:
    CurlList() noexcept = default;
    // Throws std::bad_alloc when the library cannot allocate.
    explicit CurlList(const std::vector<std::string>& lines);
    ~CurlList() { curl_slist_free_all(list_); }

    CurlList(CurlList&& other) noexcept : list_(std::exchange(other.list_, nullptr)) {}
    CurlList& operator=(CurlList&& other) noexcept {
        if (this != &other) {
            curl_slist_free_all(list_);
            list_ = std::exchange(other.list_, nullptr);
        }
        return *this;
    }
    CurlList(const CurlList&) = delete;
    CurlList& operator=(const CurlList&) = delete;

    // nullptr when empty.
    curl_slist* get() const noexcept { return list_; }

private:
    curl_slist* list_ = nullptr;
};

}  // namespace qiv::http
