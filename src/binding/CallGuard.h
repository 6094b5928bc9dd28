// The guard around every entry from Python: lock count, deferred reference changes, the pool of
// temporaries, and the one place where errors and panics become Python exceptions.
#pragma once

#include <Python.h>

#include <new>
#include <optional>
#include <string>
#include <utility>

#include "binding/PyErr.h"
#include "support/Panic.h"

namespace qiv::py {

// Parks a new reference until the current guard ends.
PyObject* hold_temporary(PyObject* object);

// Drops a reference now when a guard is active on this thread, else at the next guard's entry.
void drop_reference(PyObject* object) noexcept;

namespace detail {

class GuardScope {
public:
    GuardScope();  // may panic (a negative lock count): that escapes to the abort trap
    ~GuardScope();
    GuardScope(const GuardScope&) = delete;
    GuardScope& operator=(const GuardScope&) = delete;

private:
    std::optional<size_t> mark_;
};

enum class Outcome { Value, Error, Panic, NoMemory, Foreign };

[[noreturn]] void abort_uncaught() noexcept;
void raise_outcome(Outcome outcome, std::optional<PyErr>& error, const std::string& panic_message);

// Runs the body; returns its value, or the error value with a Python exception set.
template <class R, class F>
R run_guarded(R error_value, F&& body) noexcept {
    try {
        GuardScope scope;
        Outcome outcome = Outcome::Value;
        std::optional<PyErr> error;
        std::string panic_message;
        R result = error_value;
        try {
            auto r = body();
            if (r.ok()) {
                result = std::move(r).value();
            } else {
                outcome = Outcome::Error;
                error.emplace(std::move(r).error());
            }
        } catch (Panic& p) {
            outcome = Outcome::Panic;
            panic_message = p.take_message();
        } catch (const std::bad_alloc&) {
            outcome = Outcome::NoMemory;
        } catch (...) {
            outcome = Outcome::Foreign;
        }
        if (outcome != Outcome::Value) raise_outcome(outcome, error, panic_message);
        return outcome == Outcome::Value ? result : error_value;
    } catch (const std::bad_alloc&) {
        // Raising the outcome ran out of memory (a panic's report, say): no reason to end the
        // process. The exception set on the way stays, else MemoryError.
        if (!PyErr_Occurred()) PyErr_NoMemory();
        return error_value;
    } catch (...) {
        abort_uncaught();
    }
}

}  // namespace detail

// Entries returning an object: methods, getters, __new__, module functions, module init.
template <class F>
PyObject* guard_object(F&& body) noexcept {
    return detail::run_guarded<PyObject*>(nullptr, std::forward<F>(body));
}

// Property setters: 0, or -1 with an exception set.
template <class F>
int guard_setter(F&& body) noexcept {
    return detail::run_guarded<int>(-1, std::forward<F>(body));
}

// Deallocation: a panic is reported through the unraisable hook and the slot returns.
template <class F>
void guard_dealloc(F&& body) noexcept {
    PyObject* r = detail::run_guarded<PyObject*>(nullptr, [&]() -> PyResult<PyObject*> {
        body();
        return Py_None;
    });
    if (!r) PyErr_WriteUnraisable(nullptr);
}

}  // namespace qiv::py
