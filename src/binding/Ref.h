// The owned Python reference. Every reference a call owns is held by a Ref. Objects kept for the
// life of the process (the module, interned names, the exception and class types) are raw
// pointers instead, never released by design.
#pragma once

#include <Python.h>

#include <utility>

namespace qiv::py {

// Drops a reference now inside a call guard, else defers it to the next guard (CallGuard.cpp).
void drop_reference(PyObject* object) noexcept;

class Ref {
public:
    Ref() noexcept = default;
    static Ref steal(PyObject* p) noexcept { return Ref(p); }
    static Ref borrow(PyObject* p) noexcept {
        Py_XINCREF(p);
        return Ref(p);
    }

    Ref(const Ref& other) noexcept : p_(other.p_) { Py_XINCREF(p_); }
    Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Ref& operator=(const Ref& other) noexcept {
        Py_XINCREF(other.p_);  // before dropping ours, in case both are the same object
        reset(other.p_);
        return *this;
    }
    Ref& operator=(Ref&& other) noexcept {
        if (this != &other) reset(std::exchange(other.p_, nullptr));
        return *this;
    }
    ~Ref() {
        if (p_) drop_reference(p_);
    }

    PyObject* get() const noexcept { return p_; }
    PyObject* release() noexcept { return std::exchange(p_, nullptr); }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    explicit Ref(PyObject* p) noexcept : p_(p) {}
    void reset(PyObject* p) noexcept {
        PyObject* old = std::exchange(p_, p);
        if (old) drop_reference(old);
    }

    PyObject* p_ = nullptr;
};

}  // namespace qiv::py
