#include "http/CurlList.h"

#include <new>

namespace qiv::http {

CurlList::CurlList(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        curl_slist* grown = curl_slist_append(list_, line.c_str());
        if (!grown) {
            curl_slist_free_all(list_);
            list_ = nullptr;
            throw std::bad_alloc();
        }
        list_ = grown;
    }
}

}  // namespace qiv::http
