// The trust anchors of the server calls, read once per process and shared by the TLS context of
// every connection: reading and parsing them costs more than the rest of a context's setup.
#pragma once

#include <curl/curl.h>

#include <mutex>
#include <string>

#include <openssl/x509_vfy.h>

namespace qiv::http {

class TrustStore {
public:
    // The one store of the process for ca_bundle (a PEM file; empty: the HTTP library's own
    // default file and folder). Lives until the process ends.
    static TrustStore& of(const std::string& ca_bundle);

    // The library's TLS-context hook: puts the shared anchors into ssl_ctx, in place of its
    // empty store. user is the TrustStore. A bundle that cannot be read fails the connection.
    static CURLcode attach(CURL* curl, void* ssl_ctx, void* user) noexcept;

    TrustStore(const TrustStore&) = delete;
    TrustStore& operator=(const TrustStore&) = delete;

private:
    explicit TrustStore(std::string ca_bundle) : ca_bundle_(std::move(ca_bundle)) {}

    // Reads the anchors at the first use; after a failure the next connection tries again.
    X509_STORE* store();

    const std::string ca_bundle_;
    std::mutex mutex_;
    X509_STORE* store_ = nullptr;
};

}  // namespace qiv::http
