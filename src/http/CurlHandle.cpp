#include "http/CurlHandle.h"

#include <utility>

namespace qiv::http {

CurlHandle::CurlHandle()
    : curl_(curl_easy_init()), errors_(std::make_unique<std::array<char, CURL_ERROR_SIZE>>()) {
    (*errors_)[0] = '\0';
    if (curl_) curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errors_->data());
}

CurlHandle::~CurlHandle() {
    if (curl_) curl_easy_cleanup(curl_);
}

CurlHandle::CurlHandle(CurlHandle&& other) noexcept
    : curl_(std::exchange(other.curl_, nullptr)), errors_(std::move(other.errors_)) {}

CurlHandle& CurlHandle::operator=(CurlHandle&& other) noexcept {
    if (this != &other) {
        if (curl_) curl_easy_cleanup(curl_);
        curl_ = std::exchange(other.curl_, nullptr);
        errors_ = std::move(other.errors_);
    }
    return *this;
}

}  // namespace qiv::http
