// Owns one transfer handle and its error buffer. Move-only: a copy would release the handle
// twice.
#pragma once

#include <curl/curl.h>

#include <array>
#include <memory>
#include <type_traits>

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

    // Sets one option; false when the library refuses it. The library reads its arguments
    // through varargs by the option's type, so only long, curl_off_t and pointers pass: an int
    // would be read as a long.
    template <class V>
    bool set(CURLoption option, V value) noexcept {
        static_assert(std::is_pointer_v<V> || std::is_null_pointer_v<V> || std::is_same_v<V, long> ||
                          std::is_same_v<V, curl_off_t> || std::is_same_v<V, unsigned long>,
                      "pass long, curl_off_t or a pointer");
        return curl_ && curl_easy_setopt(curl_, option, value) == CURLE_OK;
    }

private:
    CURL* curl_ = nullptr;
    // Heap-held so its address, given to the library, survives a move of the holder.
    std::unique_ptr<std::array<char, CURL_ERROR_SIZE>> errors_;
};

}  // namespace qiv::http
