// Preloaded into a child interpreter by the allocation-failure tests: replaces the global
// operator new, so that the C++ allocation a test chooses fails as a real shortage would.
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

// Allocations still to succeed before the one that fails; negative: none is due to fail.
std::atomic<long> countdown{-1};

void* allocate(std::size_t size, std::size_t alignment) noexcept {
    if (countdown.load(std::memory_order_relaxed) >= 0 && countdown.fetch_sub(1) == 0) return nullptr;
    if (size == 0) size = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
    void* p = nullptr;
    return posix_memalign(&p, alignment, size) == 0 ? p : nullptr;
}

void* allocate_or_throw(std::size_t size, std::size_t alignment) {
    void* p = allocate(size, alignment);
    if (!p) throw std::bad_alloc();
    return p;
}

constexpr std::size_t kPlain = alignof(std::max_align_t);

}  // namespace

extern "C" {
// The allocation after the next n fails (n >= 0), or none does (n < 0).
void qiv_fail_new_after(long n) { countdown.store(n); }
// Still non-negative when the allocation due to fail has not been asked for.
long qiv_new_countdown() { return countdown.load(); }
}

void* operator new(std::size_t n) { return allocate_or_throw(n, kPlain); }
void* operator new[](std::size_t n) { return allocate_or_throw(n, kPlain); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate_or_throw(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate_or_throw(n, static_cast<std::size_t>(a)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, kPlain); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, kPlain); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(n, static_cast<std::size_t>(a));
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
