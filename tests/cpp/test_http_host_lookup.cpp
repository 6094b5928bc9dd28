#include <gtest/gtest.h>
#include <dlfcn.h>
#include <netdb.h>

#include <cstdlib>
#include <new>
#include <string>

#include "http/HostLookup.h"

namespace {

thread_local bool fail_allocations = false;
int lists_freed = 0;

}  // namespace

// Allocation that can be made to fail, to reach the paths a full heap would take.
void* operator new(std::size_t size) {
    if (fail_allocations) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

// Counts the resolver lists handed back, then frees them as the C library would.
extern "C" void freeaddrinfo(addrinfo* list) {
    using Free = void (*)(addrinfo*);
    static const auto real = reinterpret_cast<Free>(dlsym(RTLD_NEXT, "freeaddrinfo"));
    ++lists_freed;
    real(list);
}

namespace {

TEST(HostLookup, FreesTheResolverListWhenCopyingTheAddressesRunsOutOfMemory) {
    const std::string host = "127.0.0.1";
    if (!qiv::http::lookup_host(host)) GTEST_SKIP() << "no resolver for " << host << " here";
    lists_freed = 0;
    bool out_of_memory = false;
    fail_allocations = true;
    try {
        (void)qiv::http::lookup_host(host);
    } catch (const std::bad_alloc&) {
        out_of_memory = true;
    }
    fail_allocations = false;
    EXPECT_TRUE(out_of_memory);
    EXPECT_EQ(lists_freed, 1);
}

}  // namespace
