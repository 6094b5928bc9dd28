// The exception type that carries a panic into Python, derived from BaseException.
#pragma once

#include <Python.h>

#include <string_view>

namespace qiv::py {

// Made on first use and kept for the process; a refusal to make it panics.
PyObject* panic_exception_type();

// Makes PanicException(message) the current exception.
void raise_panic_exception(std::string_view message);

}  // namespace qiv::py
