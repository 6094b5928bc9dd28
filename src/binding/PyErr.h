// A Python exception as a value: made in the core, raised only by the call guard.
#pragma once

#include <Python.h>

#include <string>
#include <string_view>

#include "binding/Ref.h"
#include "support/Result.h"

namespace qiv::py {

class PyErr {
public:
    // An exception still to be made: type(argument).
    PyErr(PyObject* type, std::string_view message);
    PyErr(PyObject* type, Ref argument) : type_(Ref::borrow(type)), value_(std::move(argument)), lazy_(true) {}

    // An exception object already made.
    static PyErr from_exception(Ref exception);

    // Takes the pending exception; SystemError when none is pending.
    static PyErr fetch();

    // Makes this the current Python exception.
    void restore() &&;

    // The type and the normalised exception object.
    PyObject* type() const noexcept { return type_.get(); }
    Ref normalized_value();

private:
    PyErr() = default;
    Ref type_, value_, traceback_;
    bool lazy_ = false;
};

template <class T>
using PyResult = Result<T, PyErr>;

// TypeError "'<qualname>' object cannot be converted to '<target>'".
PyErr downcast_error(PyObject* object, const char* target);

// A conversion error of exactly TypeError becomes "argument '<name>': <its text>"; others pass.
PyErr wrap_argument_error(PyErr error, const char* parameter);

// Prints the pending error and panics with "Python API call failed".
[[noreturn]] void api_call_failed();

}  // namespace qiv::py
