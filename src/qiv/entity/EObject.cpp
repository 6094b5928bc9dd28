#include "qiv/entity/EObject.h"

#include <openssl/evp.h>

#include <atomic>
#include <charconv>
#include <memory>
#include <ctime>

#include "log/DebugFmt.h"
#include "log/log_debug.h"
#include "support/Panic.h"

namespace qiv {

namespace {

std::atomic<uint64_t> id_counter{0};

}  // namespace

UnixTime unix_now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    if (ts.tv_sec < 0) {
        panic("system time before Unix epoch: the clock reads " + std::to_string(ts.tv_sec) + " s");
    }
    return {ts.tv_sec, static_cast<uint32_t>(ts.tv_nsec)};
}

std::string sha256_hex(std::string_view data) {
    // Fetched once, and one context per thread reused: naming the digest at each call looks it
    // up in the provider tables again, and a fresh context costs an allocation.
    static EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    thread_local const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!sha256 || !context || EVP_DigestInit_ex2(context.get(), sha256, nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), data.data(), data.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest, &size) != 1) {
        panic("SHA-256 digest failed");
    }
    static const char digits[] = "0123456789abcdef";
    std::string hex(size * 2, '0');
    for (unsigned int i = 0; i < size; ++i) {
        hex[2 * i] = digits[digest[i] >> 4];
        hex[2 * i + 1] = digits[digest[i] & 0xF];
    }
    return hex;
}

std::string generate_id() {
    uint64_t counter = id_counter.fetch_add(1, std::memory_order_seq_cst);
    UnixTime now = unix_now();
    int64_t nanos;
    if (__builtin_mul_overflow(now.seconds, int64_t{1'000'000'000}, &nanos) ||
        __builtin_add_overflow(nanos, int64_t{now.nanos}, &nanos)) {
        panic("value can not be represented in a timestamp with nanosecond precision.");
    }
    char text[40];  // at most 19 + 20 digits
    char* end = std::to_chars(text, text + 19, nanos).ptr;
    end = std::to_chars(end, text + sizeof text, counter).ptr;
    return sha256_hex({text, static_cast<size_t>(end - text)});
}

void eobject_fmt_debug(const EObject& record, std::string& out) {
    DebugRecord(out, "EObject").text("id", record.id).integer("time", record.time).finish();
}

Result<EObject, CodecError> eobject_read(ByteCursor& cursor) {
    auto id = read_string(cursor);
    if (!id) return std::move(id).error();
    auto time = read_i64(cursor);
    if (!time) return std::move(time).error();
    std::string message = "id: ";
    append_quoted(message, id.value());
    message += " time:";
    message += std::to_string(time.value());
    log_debug(message);
    return EObject{std::move(id).value(), time.value()};
}

CodecStatus eobject_write(const EObject& record, std::vector<uint8_t>& out) {
    if (auto r = write_string(record.id, out); !r) return r;
    return write_i64(record.time, out);
}

}  // namespace qiv
