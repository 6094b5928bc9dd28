// Owns one transfer handle, its header lists and its error buffer. Move-only: a copy would
// release the handle twice.
#pragma once

#include <curl/curl.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace qiv::http {

class CurlHandle {
public:
    // A null handle() means the library could not make one.
    CurlHandle();
    ~CurlHandle();

    CurlHandle(CurlHandle&& other) noexcept;
    CurlHandle& operator=(CurlHandle&& other) noexcept;
    CurlHandle(const CurlHandle&) = delete;
    CurlHandle& operator=(const CurlHandle&) = delete;

    CURL* handle() const noexcept { return curl_; }
    const char* error_buffer() const noexcept { return errors_->data(); }
    void clear_error_buffer() noexcept { (*errors_)[0] = '\0'; }

    // Builds a header list that lives as long as the handle; nullptr when empty.
    // Throws std::bad_alloc when the library cannot allocate.
    curl_slist* make_list(const std::vector<std::string>& lines);

private:
    void release() noexcept;

    CURL* curl_ = nullptr;
    std::vector<curl_slist*> lists_;
    // Heap-held so its address, given to the library, survives a move of the holder.
    std::unique_ptr<std::array<char, CURL_ERROR_SIZE>> errors_;
};

}  // namespace qiv::http
