#include "http/CurlHandle.h"

#include <new>
#include <utility>

namespace qiv::http {

CurlHandle::CurlHandle()
    : curl_(curl_easy_init()), errors_(std::make_unique<std::array<char, CURL_ERROR_SIZE>>()) {
    (*errors_)[0] = '\0';
    if (curl_) curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errors_->data());
}

CurlHandle::~CurlHandle() { release(); }

CurlHandle::CurlHandle(CurlHandle&& other) noexcept
    : curl_(std::exchange(other.curl_, nullptr)),
      lists_(std::move(other.lists_)),
      errors_(std::move(other.errors_)) {
    other.lists_.clear();
}

CurlHandle& CurlHandle::operator=(CurlHandle&& other) noexcept {
    if (this != &other) {
        release();
        curl_ = std::exchange(other.curl_, nullptr);
        lists_ = std::move(other.lists_);
        other.lists_.clear();
        errors_ = std::move(other.errors_);
    }
    return *this;
}

curl_slist* CurlHandle::make_list(const std::vector<std::string>& lines) {
    curl_slist* list = nullptr;
    for (const std::string& line : lines) {
        curl_slist* grown = curl_slist_append(list, line.c_str());
        if (!grown) {
            curl_slist_free_all(list);
            throw std::bad_alloc();
        }
        list = grown;
    }
    if (list) {
        try {
            lists_.push_back(list);
        } catch (...) {
            curl_slist_free_all(list);
            throw;
        }
    }
    return list;
}

void CurlHandle::release() noexcept {
    // The handle first: it may still point at the lists.
    if (curl_) curl_easy_cleanup(curl_);
    curl_ = nullptr;
    for (curl_slist* list : lists_) curl_slist_free_all(list);
    lists_.clear();
}

}  // namespace qiv::http
