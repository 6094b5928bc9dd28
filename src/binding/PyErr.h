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
    // (an empty Ref, its failure pending), that failure stands in for the error.
    PyErr(PyObject* type, std::string_view message);
    PyErr(PyObject* type, Ref argument);

    // Takes the pending exception, a genuine error; SystemError when none is pending.
    static PyErr fetch();

    // Makes this the current Python exception.
    void restore() &&;

    // The type and the normalised exception object; when making it fails, that failure takes
    // this error's place.
    PyObject* type() const noexcept { return type_.get(); }
    Ref normalized_value();

    // A failure met making or normalising the error, or making its argument, stands in for it.
    bool stands_in() const noexcept { return form_ == Form::StandIn; }

    // Makes or normalises the exception and sets its __cause__. A failure standing in for it,
    // now or before, gets no cause: the cause was the intended error's.
    void set_cause(Ref cause);

    // The str argument of an exception still to be made, which is its str(); else empty.
    Ref argument_message() const;

private:
    enum class Form {
        Fetched,   // a genuine error taken from the interpreter, normalised or not
        StandIn,   // taken from the interpreter in place of the error we failed to make
        Argument,  // value_ is the str argument of an exception still to be made
        Made,      // value_ is the exception we made, not yet raised
    };

    PyErr() = default;
    // The pending failure, standing in for the error that could not be made.
    static PyErr stand_in();
    // Makes the exception object from its argument, or normalises a fetched one. false when a
    // failure stands in for it: one met making the object now, or making its argument before.
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
