#include "http/TrustStore.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <deque>
#include <memory>

namespace qiv::http {

namespace {

// Loads as the library would into a context of its own: the file and the folder must both
// be usable, and the chain rules are those it sets when it verifies the peer.
X509_STORE* load(const std::string& ca_bundle) {
    X509_STORE* store = X509_STORE_new();
    if (!store) return nullptr;
    bool ok = true;
    if (!ca_bundle.empty()) {
        ok = X509_STORE_load_file(store, ca_bundle.c_str()) == 1;
    } else {
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        if (ok && info->cainfo) ok = X509_STORE_load_file(store, info->cainfo) == 1;
        if (ok && info->capath) ok = X509_STORE_load_path(store, info->capath) == 1;
    }
    if (ok) ok = X509_STORE_set_flags(store, X509_V_FLAG_TRUSTED_FIRST | X509_V_FLAG_PARTIAL_CHAIN) == 1;
    if (!ok) {
        X509_STORE_free(store);
        return nullptr;
    }
    return store;
}

}  // namespace

TrustStore& TrustStore::of(const std::string& ca_bundle) {
    // One build knows one bundle; the list only keeps a second one apart. Never torn down,
    // since a call may still be connecting while the interpreter exits.
    static std::mutex mutex;
    static auto* stores = new std::deque<std::unique_ptr<TrustStore>>();
    std::lock_guard lock(mutex);
    for (const auto& s : *stores) {
        if (s->ca_bundle_ == ca_bundle) return *s;
    }
    stores->push_back(std::unique_ptr<TrustStore>(new TrustStore(ca_bundle)));
    return *stores->back();
}

X509_STORE* TrustStore::store() {
    std::lock_guard lock(mutex_);
    if (!store_) store_ = load(ca_bundle_);
    return store_;
}

CURLcode TrustStore::attach(CURL*, void* ssl_ctx, void* user) noexcept {
    try {
        X509_STORE* shared = static_cast<TrustStore*>(user)->store();
        if (!shared) return CURLE_SSL_CACERT_BADFILE;
        // Takes a reference: the context releases it, the shared store stays.
        SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(ssl_ctx), shared);
        return CURLE_OK;
    } catch (...) {  // a lock that cannot be taken
        return CURLE_SSL_CACERT_BADFILE;
    }
}

}  // namespace qiv::http
