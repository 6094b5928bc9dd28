// The exception type that carries a panic into Python, derived from BaseException.
#pragma once

#include <Python.h>

#include <string_view>

#include "binding/PyErr.h"

namespace qiv::py {

// Made at import and kept for the process. Only a panic during the import, before the type is
// made, makes it here; a refusal to make it then panics.
PyObject* panic_exception_type();

// Makes the type for the import, which fails with the interpreter's refusal when it cannot be
// made: a first panic raised where the interpreter refuses new objects (at the recursion limit,
// or out of memory) would otherwise end the process.
PyResult<Unit> prepare_panic_exception_type();

// Makes PanicException(message) the current exception.
void raise_panic_exception(std::string_view message);

}  // namespace qiv::py
