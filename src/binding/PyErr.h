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
    // An exception still to be made: type(argument). When the argument itself could not be made
    // (an empty Ref, its failure pending), the error is that failure instead.
    PyErr(PyObject* type, std::string_view message);
    PyErr(PyObject* type, Ref argument);

    // Takes the pending exception; SystemError when none is pending.
    static PyErr fetch();

    // Makes this the current Python exception.
    void restore() &&;

    // The type and the normalised exception object; when making it fails, that failure takes
    // this error's place.
    PyObject* type() const noexcept { return type_.get(); }
    Ref normalized_value();

    // Makes the exception and sets its __cause__; when making it fails, or failed already when
    // its argument could not be made, that failure stands in its place, without the cause.
    void set_cause(Ref cause);

    // The str argument of an exception still to be made, which is its str(); else empty.
    Ref lazy_message() const;

private:
    enum class Form {
        Fetched,   // taken from the interpreter, normalised or not
        Argument,  // value_ is the str argument of an exception still to be made
        Made,      // value_ is the exception we made, not yet raised
    };

    PyErr() = default;
    // Makes the exception object from its argument. false when a failure stands in for it: one
    // met making the object now, or making its argument before.
    bool make();

    Ref type_, value_, traceback_;
    Form form_ = Form::Fetched;
};

template <class T>
using PyResult = Result<T, PyErr>;

// TypeError "'<qualname>' object cannot be converted to '<target>'".
PyErr downcast_error(PyObject* object, const char* target);

// A conversion error of exactly TypeError becomes "argument '<name>': <its text>"; others pass.
PyErr wrap_argument_error(PyErr error, const char* parameter);

// str() of an object for an error message. A failing str() is reported through the unraisable
// hook and "<unprintable T object>" stands in; empty only when even that cannot be made.
Ref str_or_unprintable(PyObject* object);

// Prints the pending error and panics with "Python API call failed": only for a result object
// that cannot be made, never on an error path.
[[noreturn]] void api_call_failed();

}  // namespace qiv::py
