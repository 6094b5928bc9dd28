// The exception type that carries a panic into Python, derived from BaseException.
#pragma once

#include <Python.h>

#include <string_view>

namespace qiv::py {

// Made on first use and kept for the process; a refusal to make it panics.
PyObject* panic_exception_type();

// Makes the type ahead of any panic, when the interpreter lets it: a first panic raised where the
// interpreter refuses new objects (at the recursion limit) would otherwise end the process.
void prepare_panic_exception_type();

// Makes PanicException(message) the current exception.
void raise_panic_exception(std::string_view message);

}  // namespace qiv::py
