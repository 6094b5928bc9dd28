#include "binding/CallGuard.h"

#include <unistd.h>

#include <atomic>
#include <mutex>
#include <system_error>
#include <vector>

#include "binding/PanicException.h"

namespace qiv::py {

namespace {

// Guards and lock acquisitions active on this thread.
thread_local long gil_count = 0;

// Set when this thread's pool of temporaries is destroyed at thread exit. A plain bool has no
// destructor, so it can still be read after the pool is gone, when the pool itself must not be.
constinit thread_local bool owned_gone = false;

// New references parked by the running guards of this thread.
struct OwnedObjects {
    std::vector<PyObject*> objects;
    ~OwnedObjects() { owned_gone = true; }
};
thread_local OwnedObjects owned;

// Reference changes asked for where no guard was active; applied at the next guard's entry.
// Nothing of ours defers an increment today; the guard's entry still applies both lists, as
// its contract with the class frame says.
struct ReferencePool {
    std::mutex mutex;
    std::vector<PyObject*> increfs, decrefs;
    std::atomic<bool> dirty{false};  // read without the mutex only as a hint; rechecked under it
};
ReferencePool& reference_pool() {
    static ReferencePool* pool = new ReferencePool;  // never destroyed: used up to the process end
    return *pool;
}

void apply_pending_references() noexcept {
    ReferencePool& pool = reference_pool();
    // The common case, nothing pending, costs one load and no lock.
    if (!pool.dirty.load(std::memory_order_acquire)) return;
    std::vector<PyObject*> inc, dec;
    try {
        std::lock_guard lock(pool.mutex);
        if (!pool.dirty.load(std::memory_order_relaxed)) return;
        inc.swap(pool.increfs);
        dec.swap(pool.decrefs);
        pool.dirty.store(false, std::memory_order_relaxed);
    } catch (const std::system_error&) {
        return;  // the lock failed: the changes stay pending for the next guard
    }
    for (PyObject* o : inc) Py_INCREF(o);
    for (PyObject* o : dec) Py_DECREF(o);
}

}  // namespace

PyObject* hold_temporary(PyObject* object) {
    if (!owned_gone) {
        owned.objects.push_back(object);  // may throw: the count changes only once it is parked
        Py_INCREF(object);
    }
    return object;
}

void drop_reference(PyObject* object) noexcept {
    if (gil_count > 0) {
        Py_DECREF(object);
        return;
    }
    ReferencePool& pool = reference_pool();
    try {
        std::lock_guard lock(pool.mutex);
        pool.decrefs.push_back(object);
        pool.dirty.store(true, std::memory_order_release);
    } catch (...) {
        // The deferred list cannot grow (or its lock failed): this one reference is leaked and
        // the object stays alive, which is better than ending the process.
    }
}

namespace detail {

GuardScope::GuardScope() {
    // No code of ours makes the count negative; the guard's contract still names both panics.
    if (gil_count < 0) {
        panic(gil_count == -1 ? "Access to the GIL is prohibited while a __traverse__ implmentation is running."
                              : "Access to the GIL is currently prohibited.");
    }
    ++gil_count;
    apply_pending_references();
    if (!owned_gone) mark_ = owned.objects.size();
}

GuardScope::~GuardScope() {
    if (mark_ && !owned_gone && owned.objects.size() > *mark_) {
        // No copy of the tail: a destructor must not allocate. A guard entered by a release below
        // parks above `end` and takes its own back before it returns.
        const size_t end = owned.objects.size();
        for (size_t i = *mark_; i < end; ++i) Py_DECREF(owned.objects[i]);
        owned.objects.resize(*mark_);
    }
    --gil_count;
}

void abort_uncaught() noexcept {
    static const char message[] = "uncaught panic at ffi boundary\n";
    ssize_t ignored = ::write(2, message, sizeof message - 1);
    (void)ignored;
    std::abort();
}

void raise_outcome(Outcome outcome, std::optional<PyErr>& error, const std::string& panic_message) {
    switch (outcome) {
    case Outcome::Value:
        return;
    case Outcome::Error:
        std::move(*error).restore();
        return;
    case Outcome::Panic:
        raise_panic_exception(panic_message);
        return;
    case Outcome::NoMemory:
        PyErr_NoMemory();
        return;
    case Outcome::Foreign:
        PyErr_SetString(PyExc_SystemError, "unexpected C++ exception at the Python boundary");
        return;
    }
}

}  // namespace detail

}  // namespace qiv::py
